#pragma once

#include "camera/CameraTrack.h"

#include <cstdint>

// A track that carries a tube swept along it: rings of vertices around the
// sampled path, built once at load and drawn piecewise from client-side arrays.
class TrackTube : public CameraTrack {
public:
    // Sorts the keys and sweeps rings + 2 rings of sides vertices from tStart to
    // tEnd (tEnd below tStart means the last key's time) with the interpolation
    // mode. The last two rings carry no triangles.
    void build(int sides, int rings, float radius, int mode, float tStart, float tEnd);
    // Draws the part of the tube between from and to, measured so that the key
    // count spans all rings: a tube over keys at times 0 .. K-1 takes times.
    void drawRange(float from, float to) const;

    // The first index drawRange draws, and one past the last, for from and to.
    void indexRange(float from, float to, int* first, int* end) const;

    GrowArray<Vec3> positions;
    GrowArray<Vec3> normals;
    GrowArray<uint32_t> indices;
    int sides = 0;
    int rings = 0;
};
