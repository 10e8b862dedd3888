#include "resources/Image.h"

#include "platform/Fatal.h"
#include "resources/WholeFile.h"

#include <cmath>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

namespace {

const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};

uint32_t bigEndian(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The kind a PNG decodes to, read from its header: stb_image alone cannot tell a
// palette picture from a truecolour one. False with the reason for pictures we
// do not take.
bool pngKind(const unsigned char* bytes, size_t size, PixelKind& kind, std::string& error) {
    if (size < 33 || memcmp(bytes + 12, "IHDR", 4) != 0 || bigEndian(bytes + 8) != 13) {
        error = "damaged PNG header";
        return false;
    }
    int bitDepth = bytes[24];
    int colourType = bytes[25];
    bool transparency = false;
    // Chunks between the header and the first image data may carry tRNS.
    size_t at = 8;
    while (at + 8 <= size) {
        uint32_t length = bigEndian(bytes + at);
        const unsigned char* type = bytes + at + 4;
        if (memcmp(type, "IDAT", 4) == 0 || memcmp(type, "IEND", 4) == 0) {
            break;
        }
        if (memcmp(type, "tRNS", 4) == 0) {
            transparency = true;
        }
        if (length > size - at - 8) {
            break; // the decoder reports the damage
        }
        at += 12 + static_cast<size_t>(length);
    }
    switch (colourType) {
    case 0:
        error = "greyscale PNG pictures are not supported (truecolour needed)";
        return false;
    case 3:
        error = "palette PNG pictures are not supported (truecolour needed)";
        return false;
    case 2:
        kind = transparency || bitDepth == 16 ? PixelKind::Rgba8 : PixelKind::Rgb8;
        return true;
    case 4:
    case 6:
        kind = PixelKind::Rgba8;
        return true;
    }
    error = "unknown PNG colour type " + std::to_string(colourType);
    return false;
}

} // namespace

Image::Image(int width, int height, PixelKind kind_, std::vector<unsigned char> pixels)
    : columns(width), rows(height), kind(kind_), data(std::move(pixels)) {}

Image::Image(const std::string& fileName) {
    std::string error;
    std::unique_ptr<Image> decoded = load(fileName, error);
    if (!decoded) {
        fatalError("Image", fileName + ": " + error);
    }
    *this = std::move(*decoded);
}

std::unique_ptr<Image> Image::load(const std::string& fileName, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(fileName, bytes, error)) {
        return nullptr;
    }
    return decode(bytes.data(), bytes.size(), error);
}

std::unique_ptr<Image> Image::decode(const unsigned char* bytes, size_t size, std::string& error) {
    if (size > 0x7fffffff) {
        error = "file too large for a picture";
        return nullptr;
    }
    PixelKind kind;
    if (size >= 8 && memcmp(bytes, pngSignature, 8) == 0) {
        if (!pngKind(bytes, size, kind, error)) {
            return nullptr;
        }
    } else if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff) {
        int width, height, components;
        if (!stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &components)) {
            error = std::string("cannot decode JPEG: ") + stbi_failure_reason();
            return nullptr;
        }
        if (components == 1) {
            error = "greyscale JPEG pictures are not supported (colour needed)";
            return nullptr;
        }
        kind = components == 3 ? PixelKind::Rgb8 : PixelKind::Rgba8;
    } else {
        error = "not a JPEG or PNG picture";
        return nullptr;
    }

    int channels = kind == PixelKind::Rgba8 ? 4 : 3;
    int width, height, components;
    unsigned char* pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height,
                                                  &components, channels);
    if (pixels == nullptr) {
        error = std::string("cannot decode picture: ") + stbi_failure_reason();
        return nullptr;
    }
    std::vector<unsigned char> packed(pixels, pixels + size_t(width) * height * channels);
    stbi_image_free(pixels);
    return std::make_unique<Image>(width, height, kind, std::move(packed));
}

void makeNormalMap(Image& image) {
    const int w = image.width();
    const int h = image.height();
    const int stride = image.bytesPerPixel();
    unsigned char* pixels = image.pixels();
    // Every height is read before its pixel is overwritten, so a copy of the
    // green channel gives the same result as converting in place.
    std::vector<int> green(size_t(w) * h);
    for (size_t i = 0; i < green.size(); ++i) {
        green[i] = pixels[i * stride + 1];
    }
    auto g = [&](int x, int y) { return green[size_t(y) * w + x]; };
    auto store = [&](int x, int y, const unsigned char* rgb) {
        memcpy(pixels + (size_t(y) * w + x) * stride, rgb, 3);
    };
    for (int x = 0; x <= w - 2; ++x) {
        for (int y = 0; y <= h - 2; ++y) {
            int dx = g(x + 1, y) - g(x, y);
            int dy = g(x, y + 1) - g(x, y);
            double s = 127.0 / std::sqrt(double(dx * dx + dy * dy + 100));
            // The scale was held in single precision for the second and third
            // products; 12.7 becomes 12.6999998 and a flat picture gives 254.
            double s32 = static_cast<float>(s);
            unsigned char rgb[3] = {
                static_cast<unsigned char>(static_cast<int>(std::trunc(s * dx) + 128)),
                static_cast<unsigned char>(static_cast<int>(std::trunc(s32 * dy) + 128)),
                static_cast<unsigned char>(static_cast<int>(std::trunc(s32 * 10) + 128))};
            store(x, y, rgb);
            if (x == w - 2) {
                store(x + 1, y, rgb);
            }
            if (y == h - 2) {
                store(x, y + 1, rgb);
            }
            if (x == w - 2 && y == h - 2) {
                store(x + 1, y + 1, rgb);
            }
        }
    }
}
