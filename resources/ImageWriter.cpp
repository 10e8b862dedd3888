#include "resources/ImageWriter.h"

// The one place the image writer's implementation is compiled.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

bool writePng(const std::string& fileName, int width, int height, int components,
              const unsigned char* pixels, bool bottomRowFirst) {
    stbi_flip_vertically_on_write(bottomRowFirst ? 1 : 0);
    int written =
        stbi_write_png(fileName.c_str(), width, height, components, pixels, width * components);
    stbi_flip_vertically_on_write(0);
    return written != 0;
}

bool writeJpeg(const std::string& fileName, int width, int height, int components,
               const unsigned char* pixels, int quality) {
    stbi_flip_vertically_on_write(0);
    return stbi_write_jpg(fileName.c_str(), width, height, components, pixels, quality) != 0;
}
