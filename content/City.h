#pragma once

#include "content/Canvas.h"
#include "content/MeshData.h"
#include "platform/Vec3.h"

#include <string>
#include <utility>
#include <vector>

// The city block that the city scene draws four times, shifted by 550 in x and
// 378 in y, at dusk: streets on a grid with lamps and crossings, buildings of
// four kinds on their lots with lit windows and shops, open squares with trees
// wherever the scene's figures stand or its trails pass low, and traffic. The
// scene's material program shows each material's picture as it is, so the
// light of the low sun (south-west, towards -x and -y) is painted into the
// pictures: walls facing it have pictures of their own.
namespace City {

constexpr float kTileWidth = 550.0f, kTileDepth = 378.0f;
// The tile's corner, on the centre lines of two streets; the four copies cover x
// -695..405 and y -536.5..219.5, around the figures and the trails' path.
constexpr float kTileX = -145.0f, kTileY = -158.5f;

// Where the figures stand (x, y; z -7.67), as the scene places them.
extern const float kFigures[19][2];

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

// A material of the model and its picture, written as data/citymaps/FILE.
struct Material {
    std::string name;
    std::string file;
    Canvas picture;
};

struct Layout {
    std::vector<Material> materials;
    std::vector<Piece> pieces;
    std::vector<Mover> movers;
    // Every building's box (low corner, high corner; the roof at low z), in the
    // tile's coordinates: what the camera must stay out of.
    std::vector<std::pair<Vec3, Vec3>> buildings;
};

Layout build();

// The street grid, in the tile's coordinates (and every copy's).
bool inStreet(float x, float y);

} // namespace City
