#pragma once

#include "core/Effect.h"

class Billboards;
class CgProgramPair;
class LensFlare;
class NmdScene;
class Texture;

// The planet: a slowly turning world inside a sphere of water shaded by the sea
// program, a flat layer of soft clouds around it, a sun with lens flare, and
// from 12 s on a column of snow flakes that passes through the scene.
class Ravize : public Effect {
public:
    explicit Ravize(Demo* demo);

    void load() override;
    void render() override;

    // Rewrites every snow flake's position for local time t, from seed 1.
    void placeSnow(float t);

    NmdScene* planet = nullptr;
    NmdScene* waterSphere = nullptr;
    LensFlare* flare = nullptr;
    CgProgramPair* program = nullptr;
    Texture* envTexture = nullptr;
    Texture* bumpTexture = nullptr;
    Billboards* cloudSprites = nullptr;
    Texture* cloudTexture = nullptr;
    Billboards* snowSprites = nullptr;
    Texture* snowTexture = nullptr;
};
