#pragma once

class Texture;

// An off-screen target: a framebuffer object with a colour texture and an optional
// depth texture. bind() saves the viewport and renders into the target at its
// size; unbind() returns to the window and restores the saved viewport.
class RenderTarget {
public:
    RenderTarget(int width, int height, bool withColour, bool withDepth);
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    void bind();
    void unbind();
    Texture* colourTexture() const { return colour[0]; }

    int width = 0;
    int height = 0;
    unsigned int framebuffer = 0;
    int savedViewport[4] = {0, 0, 0, 0};
    Texture* colour[16] = {};
    Texture* depth = nullptr;
};
