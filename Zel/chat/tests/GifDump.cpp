#include "Zel/chat/tests/GifDump.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

// The key letters gifbuild -d gives table indices below 94 when the table is that small.
const char kKeyLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!\"#$%&'()*+,-./:<=>?@[\\]^_`{|}~";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class DumpReader {
public:
    DumpReader(const std::string& text, GifDump& out) : in(text), out(out) {}

    bool Run(std::string& error)
    {
        std::string line;
        while (Next(line)) {
            int a, b;
            char word[16];
            if (std::sscanf(line.c_str(), "screen width %d", &a) == 1) {
                out.width = a;
            } else if (std::sscanf(line.c_str(), "screen height %d", &a) == 1) {
                out.height = a;
            } else if (line == "screen map") {
                if (!ReadTable(out.globalTable)) return Fail(error, "screen map");
            } else if (line == "graphics control") {
                if (!ReadControl()) return Fail(error, "graphics control");
            } else if (line == "comment" || line == "plaintext" || line.compare(0, 10, "extension ") == 0) {
                if (!SkipToEnd()) return Fail(error, "extension");
            } else if (std::sscanf(line.c_str(), "image # %d", &a) == 1) {
                out.images.emplace_back();
                DumpImage& image = out.images.back();
                image.hasControl = control.hasControl;
                image.disposal = control.disposal;
                image.delay = control.delay;
                image.transparentIndex = control.transparentIndex;
                control = DumpImage();
            } else if (out.images.empty()) {
                continue;  // screen colours, background, aspect, netscape loop
            } else if (std::sscanf(line.c_str(), "image left %d", &a) == 1) {
                out.images.back().left = a;
            } else if (std::sscanf(line.c_str(), "image top %d", &a) == 1) {
                out.images.back().top = a;
            } else if (line == "image interlaced") {
                out.images.back().interlaced = true;
            } else if (line == "image map") {
                if (!ReadTable(out.images.back().localTable)) return Fail(error, "image map");
            } else if (std::sscanf(line.c_str(), "image bits %d by %d %15s", &a, &b, word) >= 2) {
                bool hex = line.find(" hex") != std::string::npos;
                if (!ReadRaster(out.images.back(), a, b, hex)) return Fail(error, "raster");
            }
        }
        return true;
    }

private:
    bool Next(std::string& line)
    {
        if (!std::getline(in, line)) return false;
        ++lineNumber;
        return true;
    }

    bool Fail(std::string& error, const char* what)
    {
        error = std::string("dump line ") + std::to_string(lineNumber) + ": bad " + what;
        return false;
    }

    bool ReadTable(std::vector<DumpColour>& table)
    {
        std::string line;
        while (Next(line)) {
            if (line == "end") return true;
            DumpColour c;
            if (std::sscanf(line.c_str(), "\trgb %d %d %d", &c.red, &c.green, &c.blue) == 3) table.push_back(c);
        }
        return false;
    }

    bool ReadControl()
    {
        control.hasControl = true;
        std::string line;
        while (Next(line)) {
            if (line == "end") return true;
            std::sscanf(line.c_str(), "\tdisposal mode %d", &control.disposal);
            std::sscanf(line.c_str(), "\tdelay %d", &control.delay);
            std::sscanf(line.c_str(), "\ttransparent index %d", &control.transparentIndex);
        }
        return false;
    }

    bool SkipToEnd()
    {
        std::string line;
        while (Next(line))
            if (line == "end") return true;
        return false;
    }

    bool ReadRaster(DumpImage& image, int width, int height, bool hex)
    {
        image.width = width;
        image.height = height;
        image.indices.clear();
        std::string line;
        for (int y = 0; y < height; ++y) {
            if (!Next(line)) return false;
            if (hex) {
                if (line.size() != size_t(width) * 2) return false;
                for (int x = 0; x < width; ++x) {
                    int high = HexDigit(line[2 * x]), low = HexDigit(line[2 * x + 1]);
                    if (high < 0 || low < 0) return false;
                    image.indices.push_back((unsigned char)(high * 16 + low));
                }
            } else {
                // The corpus keeps indices below 94 in these, so each is one key letter.
                if (line.size() != size_t(width)) return false;
                for (char c : line) {
                    const char* key = c ? std::strchr(kKeyLetters, c) : nullptr;
                    if (!key) return false;
                    image.indices.push_back((unsigned char)(key - kKeyLetters));
                }
            }
        }
        return true;
    }

    std::istringstream in;
    GifDump& out;
    DumpImage control;  // the graphic control extension waiting for its image
    int lineNumber = 0;
};

}  // namespace

bool ParseGifDump(const std::string& text, GifDump& out, std::string& error)
{
    out = GifDump();
    return DumpReader(text, out).Run(error);
}
