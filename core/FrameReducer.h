#pragma once

// Supersampled frames brought down to the size they are shown at: each pixel is
// the plain average of the factor x factor pixels it covers (a box filter),
// worked out on the GL side. The demo's frames inherit the GL state the frames
// before them left, so every state the reduction touches is put back.
class FrameReducer {
public:
    // width x height is the reduced frame; the window's buffer holds the frame
    // factor times as large each way.
    FrameReducer(int factor, int width, int height);
    ~FrameReducer();
    FrameReducer(const FrameReducer&) = delete;
    FrameReducer& operator=(const FrameReducer&) = delete;

    // Reduces the window's back buffer into the framebuffer read from after.
    void reduce();
    unsigned int framebuffer() const { return reducedFramebuffer; }

    const int factor;
    const int width;
    const int height;

private:
    unsigned int frameTexture = 0, frameFramebuffer = 0;
    unsigned int reducedTexture = 0, reducedFramebuffer = 0;
    unsigned int program = 0, vertexArray = 0;
};
