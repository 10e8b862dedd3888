#pragma once

#include "core/Effect.h"
#include "core/FullscreenPass.h"
#include "effects/CityTunnel.h"
#include "platform/Vec3.h"

class BlurFilter;
class CgProgramPair;
class EbrMesh;
class LensFlare;
class MetaballGrid;
class RenderTarget;
class Texture;
class TrackTube;
struct MeshVertex;

// One city of the tunnel in this frame.
struct TunnelPiece {
    int group = 0;         // ring group k, 0..11
    int quarter = 0;       // piece j of the group, 0..3
    Vec3 offset;           // the group's place, in the city mesh's units
    float distance = 0.0f; // squared, from the eye to its centre
    PieceView view;
};
constexpr int tunnelPieces = 48;

// The climax: three interlocked tori of a scalar field, polygonised every frame,
// tumbling through a tunnel of spinning cylinder cities with a thin tube winding
// through it. The scene is drawn off screen, copied down small, blurred into a
// glow whose strength follows the bass, and shown with the glow added on top.
class MetaStuff : public Effect {
public:
    explicit MetaStuff(Demo* demo);

    void load() override;
    void render() override;
    // Makes the scene and glow targets as large as the window's picture needs.
    void fitTargets();
    // The glow and the grid's normals carry over from frame to frame.
    void skip() override;
    void rewind() override;

    // Moves the glow accumulator on by this frame; returns the animation value.
    float advanceGlow();
    // The field of this frame and the normals of the points near its surface.
    void updateField(float animation, bool wobble);
    // The field of this frame polygonised into surface; returns the triangle count.
    int updateSurface(float animation, bool wobble);
    // The surface, back faces culled.
    void drawSurface(int triangles);
    // The twelve ring groups of the tunnel, each of four spinning cities.
    void drawTunnel(float t);
    void pushPieceMatrix(const TunnelPiece& piece, float t);
    void setPieceColour(const TunnelPiece& piece);

    MetaballGrid* grid = nullptr;
    CgProgramPair* torusProgram = nullptr;
    Texture* environmentTexture = nullptr;
    Texture* bumpTexture = nullptr;
    Texture* metalTexture = nullptr;
    RenderTarget* sceneTarget = nullptr;
    RenderTarget* glowTarget = nullptr;
    BlurFilter* blur = nullptr;
    FullscreenPass fullscreen;
    EbrMesh* cityMesh = nullptr;
    Texture* cityTexture = nullptr;
    CgProgramPair* cityProgram = nullptr;
    CityLayout cityLayout;
    LensFlare* flare = nullptr;
    TrackTube* tube = nullptr;
    // The polygonised surface of the current frame, room for the most any field gives.
    MeshVertex* surface = nullptr;
    TunnelPiece pieces[tunnelPieces];
};

// The demo time from which the tori's rings wobble.
constexpr float metaballWobbleFrom = 166.5f;

// The glow accumulator: follows the cube of the bass level with a decay of 0.95
// per frame and speeds the animation up a little. One value for the process; it
// keeps its value while the effect is not playing.
extern float metaballGlow;

// Where ring group k of the tunnel stands at local time t, before the offset of
// -3000: 2500 k - 3500 t, moved on by whole laps of 20000 until not negative.
float tunnelRingOffset(int k, float t);

// The blur's gamma for a bass level: 0.5 in silence, rising with its square.
float glowGamma(float level);

// The three tori's centres and axes for an animation value (axes normalised).
void torusPlacement(float animation, Vec3 centres[3], Vec3 axes[3]);
