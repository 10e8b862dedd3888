#pragma once

#include "content/Canvas.h"
#include "content/MeshData.h"

// The planet of the planet scene: sea level at radius kPlanetRadius, land
// rising above it, ice at the poles; a small moon beside it.
namespace Planet {

constexpr float kRadius = 70.0f;
// The water sphere floats just above sea level and covers the sea floor.
constexpr float kWaterRadius = 70.6f;

// Height above sea level (negative under the sea) at picture column u and row y
// (from the top), both 0..1.
float elevation(float u, float y);

MeshData surface();
MeshData water();
MeshData moon();
Canvas surfacePicture();
Canvas moonPicture();

} // namespace Planet
