#pragma once

#include "content/Canvas.h"
#include "content/MeshData.h"
#include "platform/Vec3.h"

#include <string>
#include <vector>

// The city block that the city scene draws four times, shifted by 550 in x and
// 378 in y: streets on a grid, buildings on their lots, open squares wherever
// the scene's figures stand or its trails pass low, and traffic.
namespace City {

constexpr float kTileWidth = 550.0f, kTileDepth = 378.0f;
// The tile's corner, on the centre lines of two streets; the four copies cover x
// -695..405 and y -536.5..219.5, around the figures and the trails' path.
constexpr float kTileX = -145.0f, kTileY = -158.5f;

// One mesh of the city model, all of one material.
struct Piece {
    std::string name;
    std::string material;
    MeshData mesh;
};

// A moving part: its mesh in its own frame and its keys (times in
// milliseconds, the scene is drawn at t x 1000), positions in the drawing frame.
struct Mover {
    std::string name;
    std::string material;
    MeshData mesh;
    std::vector<std::pair<float, Vec3>> positionKeys;
    // Turns about the drawing frame's z axis, radians.
    std::vector<std::pair<float, float>> turnKeys;
};

struct Layout {
    std::vector<Piece> pieces;
    std::vector<Mover> movers;
    Canvas ground{1024, 1024};
};

Layout build();

Canvas facadePicture(bool shaded);
Canvas roofPicture();
Canvas carPicture();
Canvas beaconPicture();

} // namespace City
