// Reads the text dump that giflib's gifbuild -d writes of a GIF: the logical screen, the global
// table, and for every image its position, size, interlace flag, local table, the graphic control
// extension ahead of it and its de-interlaced indices. Other extensions are passed over.
#pragma once

#include <string>
#include <vector>

struct DumpColour {
    int red, green, blue;
};

struct DumpImage {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<DumpColour> localTable;
    bool hasControl = false;
    int disposal = 0, delay = 0, transparentIndex = -1;  // delay in hundredths of a second
    std::vector<unsigned char> indices;                  // width x height, rows top first
};

struct GifDump {
    int width = 0, height = 0;
    std::vector<DumpColour> globalTable;
    std::vector<DumpImage> images;
};

// False with a message naming the line for a dump this reader does not follow.
bool ParseGifDump(const std::string& text, GifDump& out, std::string& error);
