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

// A box in the drawing frame that holds every vertex the nodes can draw at any
// time: a node's translation stays within its rest value and its keys (tracks
// interpolate between keys and hold the end values), a rotation keeps lengths,
// and a scale stretches by at most its largest component. With no vertex to
// draw, min lies above max.
struct NmdBounds {
    float min[3];
    float max[3];
    bool empty() const { return !(min[0] <= max[0]); }
};
NmdBounds animatedBounds(const std::vector<std::unique_ptr<NmdNode>>& nodes);
