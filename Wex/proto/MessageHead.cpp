#include "Wex/proto/MessageHead.h"

#include "Wex/proto/WireText.h"

namespace Wex {

bool MessageHead::ReadHead(ByteReader& reader)
{
    cookie1 = reader.U32();
    cookie2 = reader.U32();
    channel = reader.U16();
    size_t nameAt = reader.Offset();
    sender = NormaliseName(ReadStr8(reader, CodePageUtf8));
    if (reader.Failed()) {
        Reject(reader);
        return false;
    }
    if (sender.IsEmpty()) {
        failedAt = nameAt;
        return false;
    }
    return true;
}

} // namespace Wex
