#pragma once

#include "core/Effect.h"

class CgProgramPair;
class Texture;

// A sun: a glow and a bright core at the screen position of a point in the
// world, and six ghosts along the line through the screen centre. Owned and
// drawn by a scene in three calls a frame: setLightPosition with the scene's
// camera loaded, drawGlow before the scene, render after it.
class LensFlare : public Effect {
public:
    explicit LensFlare(Effect* parent);

    void load() override;
    // The ghosts, added over the scene.
    void render() override;

    // Takes the owner's local time as renderSpan(0, 1) would, without rendering;
    // the glow and ghost sprites turn with it.
    void followOwnerTime();
    void setLightPosition(float x, float y, float z);
    void drawGlow();
    // One additive quad in device coordinates, square on a 4:3 screen, dimmed
    // with its distance from the centre and turned by angle radians.
    void drawSprite(float x, float y, float size, float r, float g, float b, float angle);

    float screenX = 0.5f;
    float screenY = 0.5f;
    bool visible = false;
    CgProgramPair* program = nullptr;
    Texture* flareTextures[5] = {};
    Texture* glowTexture = nullptr;
};
