#pragma once

#include "core/Effect.h"
#include "core/FullscreenPass.h"
#include "effects/SeaGrid.h"

class CgProgramPair;
class IndexBuffer;
class LensFlare;
class Texture;
class VertexBuffer;

// The sea that opens and closes the demo: a 200 x 200 height field recomputed on
// the processor every frame, a sun with lens flare, and the typography with its
// fades. The opening shows the logo, then the title; the closing the end picture.
class Ocean : public Effect {
public:
    Ocean(Demo* demo, bool closing);

    void load() override;
    void render() override;

    // Heights and normals for this frame, straight into the mapped grid.
    void updateWaves();
    // A black veil over the whole screen.
    void drawFade(float alpha);

    bool closing = false;
    VertexBuffer* grid = nullptr;
    IndexBuffer* gridIndices = nullptr;
    // The same cells, each row from its last column to its first.
    IndexBuffer* mirroredGridIndices = nullptr;
    CgProgramPair* program = nullptr;
    Texture* envTexture = nullptr;
    Texture* bumpTexture = nullptr;
    LensFlare* flare = nullptr;
    Texture* logoTexture = nullptr;
    Texture* titleTexture = nullptr;
    Texture* endTexture = nullptr;
    // Where the typography is not fully transparent: only that much of the
    // screen is drawn over.
    PictureArea logoArea, titleArea, endArea;
    // How far from the camera the sea's cells are drawn; the picture is the
    // same for any reach from seaReach on.
    float reach = seaReach;
};
