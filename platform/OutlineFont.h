#pragma once

#include <string>

// Text as flat filled glyph outlines in display lists, one list per character
// code 0 to 254 (Latin-1 above 127). One em is one unit; each list advances the
// position by its glyph's advance, so consecutive lists lay out a line.
class OutlineFont {
public:
    // face names a font family; what fontconfig matches stands in when it is not
    // installed.
    explicit OutlineFont(const char* face);

    // The file the glyphs were taken from.
    const std::string& fontFile() const { return file; }

    unsigned int firstList = 0;

private:
    std::string file;
};

// printf-style text with its baseline origin x pixels from the left and y pixels
// from the bottom of the picture as it was made (800 x 600 for the demo), in the
// current colour, over the current viewport. One em is 1/45 of the viewport's
// height. Text past 4095 characters is cut.
void drawText(const OutlineFont* font, int x, int y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
