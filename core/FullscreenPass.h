#pragma once

class CgProgramPair;
class RenderTarget;
class Texture;

// Draws one texture over the whole current viewport with a program shared by
// every instance in the process, built once from a fixed source text.
class FullscreenPass {
public:
    FullscreenPass();

    // The clip-space quad alone; leaves the depth test disabled.
    void quad();
    void draw(const Texture* texture);
    void drawAdditive(const Texture* texture);
    // Draws the source's colour texture over the whole destination.
    void copy(RenderTarget& source, RenderTarget& destination);

    CgProgramPair* program = nullptr;
};
