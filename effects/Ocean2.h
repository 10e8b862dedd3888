#pragma once

#include "core/Effect.h"

class CgProgramPair;
class Flower;
class IndexBuffer;
class LensFlare;
class Texture;
class VertexBuffer;

// The wide-screen sea after the clouds: the sea in a 16:9 band between black
// bars, endless because its waves scroll with the camera, a distant sun with
// lens flare, and the clouds' flower rising over it on a clock of its own.
class Ocean2 : public Effect {
public:
    // flower is the clouds' flower: this effect draws it and sets its time.
    Ocean2(Demo* demo, Flower* flower);

    void load() override;
    void render() override;

    // Heights and normals for this frame with the wave inputs shifted by the
    // camera's position (ox, oy): the fixed grid shows the sea under the camera.
    void updateWaves(float ox, float oy);

    Flower* flower = nullptr;
    VertexBuffer* grid = nullptr;
    IndexBuffer* gridIndices = nullptr;
    CgProgramPair* program = nullptr;
    Texture* envTexture = nullptr;
    Texture* bumpTexture = nullptr;
    LensFlare* flare = nullptr;
};

// The 16:9 band of a width x height window: x, y, width, height.
struct Band {
    int x, y, width, height;
};
Band seaBand(int width, int height);

// The flower's time at the sea's local time t: its 10 s to 40 s stretch of
// growth, replayed every 30 / 6.6 s.
float flowerClock(float t);
