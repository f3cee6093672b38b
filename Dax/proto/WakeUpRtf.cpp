#include "Dax/proto/WakeUpRtf.h"

namespace Mrim {

// 448 Base64 characters (336 bytes: a zlib stream with one stored block of a 325-byte RTF text) and
// the terminating zero.
const unsigned char WakeUpRtf[449] =
    "eAEBRQG6/ntccnRmMVxhbnNpXGFuc2ljcGcxMjUxXGRlZmYwXGRlZmxhbmcxMDQ5e1xmb250dGJse1xmMFxmbmlsXGZjaGFy"
    "c2V0MjA0IFRhaG9tYTt9fXtcY29sb3J0YmwgO1xyZWQyNTVcZ3JlZW4wXGJsdWUwO31cdmlld2tpbmQ0XHVjMVxwYXJkXHFj"
    "XGNmMVxiXGYwXGZzMjggV2FrZSB1cCEgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAg"
    "ICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAg"
    "ICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgXGIwXHBhcn2ZpFCq";

} // namespace Mrim
