#pragma once

#include "camera/TrackTube.h"
#include "core/GrowArray.h"
#include "platform/Vec3.h"

#include <functional>

class FlowerHeads;

// How a branch grows, and through the ratios how its children grow: one record
// shapes a branch, and the record derived from it shapes each child.
struct GrowthRecord {
    int children = 3;
    int segments = 10;
    int ringsPerSegment = 10;
    int sides = 5;
    Vec3 start{0.0f, 0.0f, 0.0f};
    Vec3 direction{0.0f, 0.0f, -1.0f};
    int levels = 4; // levels still to grow; below 1 the branch is a tip
    float radius = 0.2f;
    float radiusRatio = 0.6f;
    float spread = 0.65f;
    float segmentLength = 3.5f;
    float segmentLengthRatio = 0.6f;
    float curl = 0.75f;
    float curlRatio = 1.9f;
    float speed = 8.0f;
    float tipThreshold = -0.5f;
    float speedRatio = 0.85f;
    float wobble = 0.25f;
    FlowerHeads* tipMarker = nullptr;
};

// One branch of the plant: a tube along a random curling path, and the branches
// that grow out of it. A branch owns its children.
struct Branch : TrackTube {
    Branch() { children.reserve(1); }
    ~Branch();
    Branch(const Branch&) = delete;
    Branch& operator=(const Branch&) = delete;

    // Draws the path (5 + 3 x segments values of the process-wide generator) and
    // builds the tube along it.
    void shape(const GrowthRecord& p);
    // Grows the children depth first, each shaped and branched in turn; a tip
    // instead draws once whether it carries a model. grown is told after every
    // child of this branch.
    void branchOut(const GrowthRecord& p, const std::function<void(int done)>& grown = {});

    GrowArray<Branch*> children;
    float shade = 0.0f; // -1 .. 1: head or leaf, and the tip model's size and turn
    Vec3 start;
    FlowerHeads* tip = nullptr;
    int childCount = 0;
    float birth = 0.0f; // growth time at which the branch starts
    float speed = 0.0f; // growth keys per unit of its parent's growth time
};

// The whole plant from the process-wide generator: a long stem with 30 children,
// then three per branch, four levels deep (1201 branches, about 46,000 draws).
// Tips that carry a model are marked with heads. progress is told the share of
// the plant built, 0 .. 1, as the stem's children are done.
Branch* growPlant(FlowerHeads* heads, const std::function<void(float done)>& progress = {});

int branchCount(const Branch& branch);
int markedTipCount(const Branch& branch);

// A 4 x 4 matrix, column-major like GL's.
struct Matrix4 {
    float m[16];
};
Matrix4 operator*(const Matrix4& a, const Matrix4& b);

// What one frame shows of the plant: the part of each branch that the growth
// window covers, and where the tip models stand.
struct DrawnRange {
    const Branch* branch;
    float from, to; // in the branch's key units, as drawRange takes them
};
struct PlantFrame {
    // Room for every branch and every marked tip, so walks never allocate.
    void reserveFor(const Branch& plant);
    void clear();

    GrowArray<DrawnRange> ranges;
    GrowArray<Matrix4> heads;
    GrowArray<Matrix4> leaves;
};

// Walks the plant for the growth window from .. to (in the stem's keys): each
// branch shows (w - birth) x speed - birth of its parent's window w, children
// born more than 5 of its units before the window are skipped with their whole
// subtree, and a marked tip inside the window puts its model's matrix
// (modelview x placement) into the head list (shade < 0) or the leaf list.
// Ranges that cover no triangle are left out.
void walkPlant(const Branch& plant, float from, float to, const Matrix4& modelview,
               PlantFrame& frame);

// Where a tip's model stands once the window has passed its last key P at T by
// to - T: at P, growing to full size over 50 units, turned by its shade.
Matrix4 tipPlacement(const Vec3& p, float shade, float to, float t);
