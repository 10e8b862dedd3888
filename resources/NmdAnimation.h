#pragma once

#include "resources/NmdFile.h"

#include <vector>

// A track's value at time t; a track of fewer than two keys leaves the rest value.
// Before the first key the first value holds, from the last key on the last.
void evaluatePositionTrack(const std::vector<NmdVectorKey>& keys, float t, const float rest[3],
                           float out[3]);
// Spherical interpolation between neighbouring keys (the shorter way round, not
// renormalised).
void evaluateRotationTrack(const std::vector<NmdRotationKey>& keys, float t, const float rest[4],
                           float out[4]);

// A node's transform at a time, converted from the authoring frame (z up) to the
// drawing frame: applied as translate, then rotate by angle about axis, then scale.
struct NodeTransform {
    float translation[3];
    float angleDegrees;
    float axis[3];
    float scale[3];
};

NodeTransform nodeTransformAt(const NmdNode& node, float t);
