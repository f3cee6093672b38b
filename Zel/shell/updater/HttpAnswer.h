// Reading the update service's HTTP answers: pure functions over the bytes received so far, so that
// the transactions only feed them and the parsing is tested without a connection.
#pragma once

#include <cstddef>
#include <string>

namespace HttpAnswer {

// Header text beyond this is not kept: a header that has not ended by then is refused.
const size_t MaxHeaderBytes = 8192;
// The largest package the updater stores.
const unsigned MaxPackageBytes = 64u * 1024 * 1024;

// The offset just past the blank line that ends the header ("\r\n\r\n"), or 0 while it is missing.
size_t HeaderEnd(const char* data, size_t length);

// The status code: the three digits between the status line's first blank and the next blank (or
// the line's end); -1 when they are not there.
int StatusCode(const char* header, size_t length);

// The value of the first header field called name (compared in any letter case), without the
// blanks around it; false when no line of the header has that name.
bool FindField(const char* header, size_t length, const char* name, std::string& value);

// "Content-Length" as a byte count from 1 to max; false when it is missing, not a plain decimal
// number, 0 or above max.
bool ContentLength(const char* header, size_t length, unsigned max, unsigned& size);

// The first byte of a "Content-Range" value ("bytes N-M/T", unit in any case): false when the
// value has another form.
bool ContentRangeStart(const std::string& value, unsigned& first);

// The version answer's body: the build in decimal, one blank and the package's SHA-256 in 64
// hexadecimal digits (either case); whatever follows them is not read.
struct VersionAnswer {
    unsigned build = 0;
    unsigned char digest[32] = {};
};
enum VersionParse { VersionIncomplete, VersionMalformed, VersionComplete };
// Complete once the digest's last digit has arrived; malformed as soon as a byte breaks the form
// (a build of more than nine digits included); incomplete while more may still come.
VersionParse ParseVersionAnswer(const char* body, size_t length, VersionAnswer& answer);

// One hexadecimal digit's value, or -1.
int HexValue(char c);

}  // namespace HttpAnswer
