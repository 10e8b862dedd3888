#pragma once

#include "content/Canvas.h"
#include "content/MeshData.h"

// The planet of the planet scene: the sea floor at radius kRadius under the
// water sphere, whose surface at kWaterRadius is the coast; continents rising
// above it, ice caps standing out of it at the poles; a small moon beside it.
namespace Planet {

constexpr float kRadius = 70.0f;
// The water sphere floats just above sea level and covers the sea floor.
constexpr float kWaterRadius = 70.6f;

// Height of the land above the coast (negative under the sea) at picture
// column u and row y (from the top), both 0..1.
float elevation(float u, float y);

MeshData surface();
MeshData water();
MeshData moon();
Canvas surfacePicture();
Canvas moonPicture();

} // namespace Planet
