#include "platform/Texture.h"

#include "platform/Gl.h"
#include <cstddef>
#include <vector>

namespace {

struct KindFormats {
    GLint internalFormat;
    GLenum pixelFormat;
    GLenum componentType;
    size_t zeroFillBytesPerPixel; // 0: no data is uploaded
};

KindFormats formatsOf(PixelKind kind) {
    switch (kind) {
    case PixelKind::Rgba8:
        return {4, GL_RGBA, GL_UNSIGNED_BYTE, 4};
    case PixelKind::Rgb8:
        return {3, GL_RGB, GL_UNSIGNED_BYTE, 3};
    case PixelKind::Rgba32F:
        return {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16};
    case PixelKind::Depth:
        return {GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, 0};
    }
    return {4, GL_RGBA, GL_UNSIGNED_BYTE, 4};
}

} // namespace

Texture::Texture(int width_, int height_, const void* pixels, PixelKind kind, TextureFilter filter_)
    : pixelKind(kind), filter(filter_), width(width_), height(height_) {
    create(pixels);
}

Texture::Texture(const PixelSource& source, TextureFilter filter_)
    : pixelKind(source.pixelKind()), filter(filter_), width(source.width()),
      height(source.height()) {
    create(source.pixels());
}

Texture::~Texture() {
    glDeleteTextures(1, &textureName);
}

void Texture::create(const void* pixels) {
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
    KindFormats formats = formatsOf(pixelKind);
    internalFormat = formats.internalFormat;
    pixelFormat = formats.pixelFormat;
    componentType = formats.componentType;

    std::vector<unsigned char> zeros;
    if (pixels == nullptr && formats.zeroFillBytesPerPixel > 0) {
        zeros.assign(static_cast<size_t>(width) * height * formats.zeroFillBytesPerPixel, 0);
        pixels = zeros.data();
    }

    // Image rows are tightly packed; the default alignment of 4 would read an Rgb8
    // picture whose row is not a multiple of 4 bytes skewed and past its end.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    switch (filter) {
    case TextureFilter::Nearest:
    case TextureFilter::Linear: {
        GLint mode = filter == TextureFilter::Nearest ? GL_NEAREST : GL_LINEAR;
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, pixelFormat, componentType,
                     pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mode);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mode);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        break;
    }
    case TextureFilter::Mipmapped:
        if (pixels != nullptr) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, internalFormat, width, height, pixelFormat,
                              componentType, pixels);
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, pixelFormat,
                         componentType, nullptr);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        break;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

void Texture::setMinification(GLint glFilter) const {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, glFilter);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

void Texture::setWrap(int mode) {
    glBindTexture(GL_TEXTURE_2D, textureName);
    GLint wrap = mode == 1 ? GL_CLAMP : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}
