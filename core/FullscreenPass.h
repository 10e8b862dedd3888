#pragma once

class CgProgramPair;
class PixelSource;
class RenderTarget;
class Texture;

// A rectangle of a picture in texture coordinates, and of the screen it covers
// when the picture is drawn over the whole viewport.
struct PictureArea {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

// The part of a picture outside which every texel is fully transparent, grown
// by a margin that a filtered sample three mip levels down can reach (for a
// picture up to eight times the viewport's size); the whole picture if it has
// no alpha. Drawing only this part with alpha blending leaves the same frame.
PictureArea visibleArea(const PixelSource& picture);

// Draws one texture over the whole current viewport with a program shared by
// every instance in the process, built once from a fixed source text.
class FullscreenPass {
public:
    FullscreenPass();

    // The clip-space quad alone; leaves the depth test disabled.
    void quad();
    void draw(const Texture* texture);
    // Only the given area of the picture, where it would fall in a full draw.
    void draw(const Texture* texture, const PictureArea& area);
    void drawAdditive(const Texture* texture);
    // Draws the source's colour texture over the whole destination.
    void copy(RenderTarget& source, RenderTarget& destination);

    CgProgramPair* program = nullptr;
};
