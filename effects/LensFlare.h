#pragma once

#include "core/Effect.h"

class CgProgramPair;
class PixelSource;
class Texture;

// How far from its centre a sprite picture holds anything but black, in units
// of half its width (1 reaches the middle of an edge): sqrt(2) for a picture lit
// into its corners, 0 for an all-black one.
float litRadius(const PixelSource& picture);

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
    // with its distance from the centre and turned by angle radians. Given the
    // lit radius of its picture (litRadius), only the part of the quad that
    // can sample a lit texel is drawn: the same pixels change, by the same
    // amounts, at a fraction of the fill.
    void drawSprite(float x, float y, float size, float r, float g, float b, float angle,
                    float lit = 2.0f);

    float screenX = 0.5f;
    float screenY = 0.5f;
    bool visible = false;
    CgProgramPair* program = nullptr;
    Texture* flareTextures[5] = {};
    Texture* glowTexture = nullptr;

private:
    // Reads the viewport's size for spriteDraw.
    void measureViewport();

    // How a sprite of this size with this texture is drawn: the texture to
    // sample, a copy without mip levels where every pixel of the sprite
    // magnifies (the same texels, read at less cost), and how far from its
    // centre, in half-widths, it can sample anything but black. A texture that
    // load did not fetch is drawn as it is, as the whole quad (reach 2).
    struct SpriteDraw {
        const Texture* texture;
        float reach;
    };
    SpriteDraw spriteDraw(const Texture* texture, float size) const;

    struct SpritePicture {
        const Texture* texture;
        const Texture* magnified;
        float litRadius;
    };
    SpritePicture pictures[6] = {};
    // Pixels across a sprite of size 1 in the current viewport, the lesser way.
    float spritePixels = 1.0f;
};
