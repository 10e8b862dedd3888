#pragma once

#include "platform/Gl.h"

// The kinds of pixels a texture can hold.
enum class PixelKind : int { Rgba8 = 0, Rgb8 = 1, Rgba32F = 2, Depth = 3 };

enum class TextureFilter : int { Nearest = 0, Linear = 1, Mipmapped = 2 };

// Anything a texture can be made from: width, height, pixel kind and tightly
// packed pixels, top row first.
class PixelSource {
public:
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual PixelKind pixelKind() const = 0;
    virtual const unsigned char* pixels() const = 0;

protected:
    ~PixelSource() = default;
};

// One OpenGL 2D texture.
class Texture {
public:
    // pixels may be null: colour kinds are then zero-filled, Depth gets no data.
    Texture(int width, int height, const void* pixels, PixelKind kind, TextureFilter filter);
    Texture(const PixelSource& source, TextureFilter filter);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // 1 clamps both wrap modes; any other mode repeats.
    void setWrap(int mode);
    // Sets the minification filter (a GL enumerant) and leaves the texture bound
    // to the active unit as it was.
    void setMinification(GLint glFilter) const;

    GLenum pixelFormat = 0;
    GLenum componentType = 0;
    PixelKind pixelKind = PixelKind::Rgba8;
    TextureFilter filter = TextureFilter::Nearest;
    int width = 0;
    int height = 0;
    GLint internalFormat = 0;
    GLuint textureName = 0;

private:
    void create(const void* pixels);
};
