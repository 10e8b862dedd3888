#pragma once

#include "platform/Texture.h"

#include <memory>
#include <string>
#include <vector>

// A decoded picture: tightly packed rows, top row first, R G B (Rgb8) or
// R G B A (Rgba8) bytes per pixel.
class Image final : public PixelSource {
public:
    // Decodes a JPEG or PNG file; a file that cannot be read, is no supported
    // picture, or is a palette or greyscale picture ends the program with the
    // file's name and the reason.
    explicit Image(const std::string& fileName);
    Image(int width, int height, PixelKind kind, std::vector<unsigned char> pixels);

    // Decodes without ending the program: null and the reason on failure.
    static std::unique_ptr<Image> decode(const unsigned char* bytes, size_t size,
                                         std::string& error);
    static std::unique_ptr<Image> load(const std::string& fileName, std::string& error);

    int width() const override { return columns; }
    int height() const override { return rows; }
    PixelKind pixelKind() const override { return kind; }
    const unsigned char* pixels() const override { return data.data(); }
    unsigned char* pixels() { return data.data(); }
    int bytesPerPixel() const { return kind == PixelKind::Rgba8 ? 4 : 3; }

private:
    int columns = 0;
    int rows = 0;
    PixelKind kind = PixelKind::Rgb8;
    std::vector<unsigned char> data;
};

// Turns a height picture (its green channel) into a normal map in place: each
// pixel becomes (dx, dy, 10) scaled to length 127 around 128, from the
// differences to its right and lower neighbours; the last column and row repeat
// their neighbours. Works on Rgb8 and Rgba8 layouts (alpha is kept).
void makeNormalMap(Image& image);
