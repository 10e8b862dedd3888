#pragma once

#include <string>

class Mask;

struct TextStyle {
    const char* pattern = "DejaVu Sans:bold"; // a fontconfig pattern
    float pixelHeight = 64;                   // em size in pixels
    float widthScale = 1;                     // < 1 squeezes glyphs horizontally
    float letterSpacing = 0;                  // extra pixels after every glyph
};

// Rasterises text with FreeType into a coverage mask (ASCII only). The face is
// found through fontconfig; a missing font is a ContentError naming the pattern.
class TextRaster {
public:
    explicit TextRaster(const TextStyle& style);
    ~TextRaster();
    TextRaster(const TextRaster&) = delete;
    TextRaster& operator=(const TextRaster&) = delete;

    float width(const std::string& text);
    // The text's baseline starts at x = centreX - width / 2; coverage is maxed in.
    void drawCentred(Mask& mask, const std::string& text, float centreX, float baselineY);

private:
    float advance(unsigned char c);

    TextStyle style;
    void* library = nullptr; // FT_Library
    void* face = nullptr;    // FT_Face
};
