#include "Zel/chat/smiley/SmileyDefinition.h"

namespace {

const unsigned kCodePage = 1251;

class LineWalker {
public:
    explicit LineWalker(std::vector<std::vector<CZELString>>& lines) : lines(lines) {}

    void Byte(unsigned char c)
    {
        if (c == '\r') return;
        if (c == ',') {
            EndCode();
        } else if (c == '\n') {
            EndLine();
        } else if (length <= kSmileyCodeMaxBytes) {
            // One byte past the limit is enough to know the code is too long.
            code[length++] = char(c);
        }
    }

    void EndLine()
    {
        EndCode();
        if (namesPicture) lines.push_back(codes);
        codes.clear();
        namesPicture = false;
    }

private:
    void EndCode()
    {
        if (length == 0) return;
        namesPicture = true;
        if (length <= kSmileyCodeMaxBytes) codes.push_back(CZELString(code, length, kCodePage));
        length = 0;
    }

    std::vector<std::vector<CZELString>>& lines;
    std::vector<CZELString> codes;
    bool namesPicture = false;
    char code[kSmileyCodeMaxBytes + 1];
    int length = 0;
};

}  // namespace

std::vector<std::vector<CZELString>> ParseSmileyDefinition(const unsigned char* data, size_t size, size_t maxPictures)
{
    std::vector<std::vector<CZELString>> lines;
    LineWalker walker(lines);
    for (size_t i = 0; i < size && data[i] != 0 && lines.size() < maxPictures; ++i) walker.Byte(data[i]);
    if (lines.size() < maxPictures) walker.EndLine();
    return lines;
}
