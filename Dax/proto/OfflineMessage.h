// The text of an offline message: MIME-like headers ("Key: value" lines up to an empty line), then
// either a Base64 text/plain body or a multipart/alternative body whose text/plain part is Base64.
// Lines may end in LF or CR LF.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <map>
#include <string>

namespace Mrim {

// Header keys in lower case; values without their trailing CR.
typedef std::map<std::wstring, CZELString> MimeHeaders;

// Reads header lines from the start of text until a line of at most one character; returns the
// start of that line.
int ParseMimeHeaders(const CZELString& text, int start, MimeHeaders& headers);

struct OfflineMessage {
    bool readable = false;  // headers complete and a text/plain body found
    CZELString from;        // the "from" header, empty when missing
    CZELString date;        // the "date" header as written
    unsigned flags = 0;     // "x-mrim-flags", hexadecimal
    Bytes body;             // the decoded text/plain body
};

OfflineMessage ParseOfflineMessage(const CZELString& text);

} // namespace Mrim
