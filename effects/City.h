#pragma once

#include "camera/CameraTrack.h"
#include "core/Effect.h"

class Billboards;
class CgProgramPair;
class LensFlare;
class NmdScene;
class Texture;
class TrackTube;

// The flight over the city: the animated city model drawn four times side by
// side under a pale sky of soft clouds, two thin black trails growing along a
// fixed path, glowing figures standing in the streets, and a sun with its flare.
// The camera is the recorded one (controllers 0 and 1).
class City : public Effect {
public:
    explicit City(Demo* demo);

    void load() override;
    void render() override;

    // Where the four copies of the city model stand.
    static constexpr float tileOffsets[4][2] = {{0, 0}, {0, -378}, {-550, 0}, {-550, -378}};

    Billboards* figures = nullptr;
    NmdScene* scene = nullptr;
    TrackTube* trailA = nullptr;
    TrackTube* trailB = nullptr;
    // The trails' common path: eleven keys at times 0 to 10.
    CameraTrack path;
    LensFlare* flare = nullptr;
    Texture* figureTexture = nullptr;
    Billboards* clouds = nullptr;
    Texture* cloudTexture = nullptr;
    CgProgramPair* trailProgram = nullptr;
    // Draws every copy of the city and samples every cloud from the mipmaps:
    // the plain frame that the shortcuts must reproduce exactly.
    bool plainDrawing = false;

private:
    void drawClouds();
};
