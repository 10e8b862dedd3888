#include "resources/ImageWriter.h"

#include "resources/WholeFile.h"

// The one place the image writer's implementation is compiled.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    auto* first = static_cast<unsigned char*>(data);
    out->insert(out->end(), first, first + size);
}

bool writeBytes(const std::string& fileName, const std::vector<unsigned char>& bytes) {
    std::string error;
    return !bytes.empty() && writeFileBytes(fileName, bytes, error);
}

} // namespace

std::vector<unsigned char> encodePng(int width, int height, int components,
                                     const unsigned char* pixels, bool bottomRowFirst) {
    std::vector<unsigned char> encoded;
    stbi_flip_vertically_on_write(bottomRowFirst ? 1 : 0);
    if (stbi_write_png_to_func(append, &encoded, width, height, components, pixels,
                               width * components) == 0) {
        encoded.clear();
    }
    stbi_flip_vertically_on_write(0);
    return encoded;
}

std::vector<unsigned char> encodeJpeg(int width, int height, int components,
                                      const unsigned char* pixels, int quality) {
    std::vector<unsigned char> encoded;
    stbi_flip_vertically_on_write(0);
    if (stbi_write_jpg_to_func(append, &encoded, width, height, components, pixels, quality) ==
        0) {
        encoded.clear();
    }
    return encoded;
}

bool writePng(const std::string& fileName, int width, int height, int components,
              const unsigned char* pixels, bool bottomRowFirst) {
    return writeBytes(fileName, encodePng(width, height, components, pixels, bottomRowFirst));
}

bool writeJpeg(const std::string& fileName, int width, int height, int components,
               const unsigned char* pixels, int quality) {
    return writeBytes(fileName, encodeJpeg(width, height, components, pixels, quality));
}
