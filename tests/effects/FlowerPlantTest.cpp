// The flower's random tree and its growth window: what the generator makes of
// it where the clouds leave it, where children start, which part of each
// branch a window shows, which subtrees it skips and how the tip models grow.
#include "effects/FlowerPlant.h"
#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// The clouds seed the generator with 1 and draw 1250 values before the flower.
void putGeneratorWhereTheCloudsLeaveIt() {
    Random::seed(1);
    for (int i = 0; i < 1250; ++i) {
        Random::next();
    }
}

FlowerHeads* marker() {
    static int heads;
    return reinterpret_cast<FlowerHeads*>(&heads);
}

// A branch along x with keys at times 0 .. keys - 1, one unit apart.
std::unique_ptr<Branch> straightBranch(int keys, float birth, float speed) {
    auto branch = std::make_unique<Branch>();
    for (int i = 0; i < keys; ++i) {
        branch->addKey(static_cast<float>(i), 0.0f, 0.0f, static_cast<float>(i), 1);
    }
    branch->build(4, 10 * (keys - 1), 0.1f, 3, 0.0f, -1.0f);
    branch->birth = birth;
    branch->speed = speed;
    return branch;
}

const DrawnRange* rangeOf(const PlantFrame& frame, const Branch* branch) {
    for (int i = 0; i < frame.ranges.count; ++i) {
        if (frame.ranges.data[i].branch == branch) {
            return &frame.ranges.data[i];
        }
    }
    return nullptr;
}

const Matrix4 identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

} // namespace

TEST(FlowerPlantTest, GrowsTwelveHundredBranchesFromWhereTheCloudsLeaveTheGenerator) {
    putGeneratorWhereTheCloudsLeaveIt();
    std::unique_ptr<Branch> plant(growPlant(marker()));

    EXPECT_EQ(branchCount(*plant), 1 + 30 + 90 + 270 + 810);
    ASSERT_EQ(plant->children.count, 30);
    const Branch& child = *plant->children[7];
    ASSERT_EQ(child.children.count, 3);
    const Branch& tip = *child.children[1]->children[2]->children[0];
    EXPECT_EQ(tip.children.count, 0);
    // The stem: 10 keys of 20 units, 40 rings each, five sides; the tips four.
    EXPECT_EQ(plant->count, 10);
    EXPECT_EQ(plant->rings, 400);
    EXPECT_EQ(plant->sides, 5);
    EXPECT_EQ(tip.sides, 4);
    EXPECT_EQ(tip.rings, 6 * 10);
    EXPECT_FLOAT_EQ(plant->speed, 1.0f);
    EXPECT_FLOAT_EQ(tip.speed, 8.0f * 0.85f * 0.85f * 0.85f * 0.85f);
    // About one tip in four carries a model.
    EXPECT_NEAR(markedTipCount(*plant), 810 / 4, 40);

    // Every branch draws 5 values plus 3 a segment, every tip one more, every
    // child three for its direction: the flower leaves the generator there.
    const int draws = 1201 * (5 + 3 * 10) + 810 + 1200 * 3;
    const int after = Random::next();
    putGeneratorWhereTheCloudsLeaveIt();
    for (int i = 0; i < draws; ++i) {
        Random::next();
    }
    EXPECT_EQ(after, Random::next());

    // The same start gives the same plant.
    putGeneratorWhereTheCloudsLeaveIt();
    std::unique_ptr<Branch> again(growPlant(marker()));
    EXPECT_EQ(again->children[29]->children[2]->shade, plant->children[29]->children[2]->shade);
    EXPECT_EQ(markedTipCount(*again), markedTipCount(*plant));
}

TEST(FlowerPlantTest, ChildrenStartAtTheirOwnShareOfTheParentsPath) {
    putGeneratorWhereTheCloudsLeaveIt();
    std::unique_ptr<Branch> plant(growPlant(marker()));
    const float last = plant->data[plant->count - 1].time;
    ASSERT_EQ(last, 9.0f);
    for (int k = 0; k < 30; ++k) {
        const Branch& child = *plant->children[k];
        const float share = static_cast<float>(k) / 30.0f * last;
        EXPECT_FLOAT_EQ(child.birth, share) << k;
        // The child's first key is the stem's cubic sample there.
        const Vec3 base = plant->sample(share, 3);
        EXPECT_EQ(child.data[0].position().x, base.x) << k;
        EXPECT_EQ(child.data[0].position().z, base.z) << k;
    }
    // Births add up down the tree.
    const Branch& child = *plant->children[12];
    const Branch& grandchild = *child.children[2];
    EXPECT_FLOAT_EQ(grandchild.birth, child.birth + 2.0f / 3.0f * 9.0f);
}

TEST(FlowerPlantTest, SpreadThatCancelsTheDirectionKeepsTheParentsDirection) {
    // Read the three values the child's direction will take, then aim the record
    // exactly against them.
    Random::seed(77);
    const float dx = Random::signedUnit(), dy = Random::signedUnit(), dz = Random::signedUnit();
    GrowthRecord record;
    record.children = 1;
    record.levels = 1;
    record.spread = 0.5f;
    record.direction = Vec3(dx, dy, dz) * -0.5f;
    Branch parent;
    parent.addKey(0, 0, 0, 0, 1);
    parent.childCount = 1;
    Random::seed(77);
    parent.branchOut(record);
    ASSERT_EQ(parent.children.count, 1);
    const Branch& child = *parent.children[0];
    // Ten segments of 3.5 x 0.6 along the kept direction (no wobble on a tip,
    // whose levels are 0): a path, not ten keys on one point.
    const Vec3 travelled = child.data[child.count - 1].position() - child.data[0].position();
    EXPECT_GT(length(travelled), 5.0f);
    EXPECT_FALSE(std::isnan(travelled.x));
}

TEST(FlowerPlantTest, WindowShowsEachBranchInItsOwnGrowthUnitsAndSkipsOldSubtrees) {
    std::unique_ptr<Branch> root = straightBranch(10, 0.0f, 1.0f);
    std::unique_ptr<Branch> young = straightBranch(5, 4.0f, 2.0f);
    std::unique_ptr<Branch> old = straightBranch(5, 0.5f, 1.0f);
    std::unique_ptr<Branch> oldsChild = straightBranch(5, 1.0f, 1.0f);
    old->children.append(oldsChild.get());
    root->children.append(young.get());
    root->children.append(old.get());

    PlantFrame frame;
    frame.reserveFor(*root);

    // Nothing has grown at time 0: the window -2 .. 0 is empty for every branch.
    walkPlant(*root, -2.0f, 0.0f, identity, frame);
    EXPECT_EQ(frame.ranges.count, 0);

    // Window 4 .. 6 of the stem. A child shows (w - birth) x speed of its parent's
    // window w, less its birth once more: the old child 3 .. 5, its child
    // 1.5 .. 3.5. The young one's -4 .. 0 covers nothing yet.
    walkPlant(*root, 4.0f, 6.0f, identity, frame);
    const DrawnRange* stem = rangeOf(frame, root.get());
    ASSERT_NE(stem, nullptr);
    EXPECT_FLOAT_EQ(stem->from, 4.0f);
    EXPECT_FLOAT_EQ(stem->to, 6.0f);
    const DrawnRange* oldRange = rangeOf(frame, old.get());
    ASSERT_NE(oldRange, nullptr);
    EXPECT_FLOAT_EQ(oldRange->from, 3.0f);
    EXPECT_FLOAT_EQ(oldRange->to, 5.0f);
    const DrawnRange* grandchild = rangeOf(frame, oldsChild.get());
    ASSERT_NE(grandchild, nullptr);
    EXPECT_FLOAT_EQ(grandchild->from, 1.5f);
    EXPECT_FLOAT_EQ(grandchild->to, 3.5f);
    EXPECT_EQ(rangeOf(frame, young.get()), nullptr);

    // Window 6 .. 8: the old child, born 0.5, is more than 5 units behind the
    // window's start and is skipped with its subtree, though its child's own
    // window (3.5 .. 5.5) would still cover rings. The young one grows, twice
    // as fast: (6 - 4) x 2 - 4 .. (8 - 4) x 2 - 4.
    frame.clear();
    walkPlant(*root, 6.0f, 8.0f, identity, frame);
    EXPECT_EQ(rangeOf(frame, old.get()), nullptr);
    EXPECT_EQ(rangeOf(frame, oldsChild.get()), nullptr);
    const DrawnRange* youngRange = rangeOf(frame, young.get());
    ASSERT_NE(youngRange, nullptr);
    EXPECT_FLOAT_EQ(youngRange->from, 0.0f);
    EXPECT_FLOAT_EQ(youngRange->to, 4.0f);

    // The children are the test's own: the tree must not delete them.
    root->children.count = 0;
    old->children.count = 0;
}

TEST(FlowerPlantTest, TipModelGrowsToFullSizeFiftyUnitsPastTheLastKey) {
    const Vec3 p(1, 2, 3);
    // Half way: k = 25 x 0.02.
    Matrix4 half = tipPlacement(p, 0.0f, 125.0f, 100.0f);
    Matrix4 full = tipPlacement(p, 0.0f, 150.0f, 100.0f);
    Matrix4 beyond = tipPlacement(p, 0.0f, 400.0f, 100.0f);
    // With shade 0 there is no turn: the diagonal is the scale, z mirrored.
    EXPECT_FLOAT_EQ(half.m[0], 0.3f * 0.5f * 0.05f);
    EXPECT_FLOAT_EQ(half.m[5], 0.3f * 0.5f * 0.05f);
    EXPECT_FLOAT_EQ(half.m[10], -0.3f * 0.5f * 0.05f);
    EXPECT_FLOAT_EQ(full.m[0], 0.3f * 0.05f);
    EXPECT_EQ(beyond.m[0], full.m[0]);
    EXPECT_EQ(half.m[12], 1.0f);
    EXPECT_EQ(half.m[13], 2.0f);
    EXPECT_EQ(half.m[14], 3.0f);

    // The shade sizes the model and turns it; the size is the length of an axis.
    Matrix4 turned = tipPlacement(p, -0.7f, 150.0f, 100.0f);
    const float axis = std::sqrt(turned.m[0] * turned.m[0] + turned.m[1] * turned.m[1] +
                                 turned.m[2] * turned.m[2]);
    EXPECT_NEAR(axis, (0.7f + 0.3f) * 0.05f, 1e-6f);
    EXPECT_LT(std::fabs(turned.m[0]), axis * 0.999f);
}

TEST(FlowerPlantTest, TipsShowOnlyWhileTheWindowPassesTheirLastKey) {
    // A tip grows 3 units a unit of its parent's time; its last key is at 4.
    std::unique_ptr<Branch> root = straightBranch(10, 0.0f, 1.0f);
    std::unique_ptr<Branch> head = straightBranch(5, 1.0f, 3.0f);
    std::unique_ptr<Branch> leaf = straightBranch(5, 1.0f, 3.0f);
    head->tip = marker();
    head->shade = -0.25f;
    leaf->tip = marker();
    leaf->shade = 0.0f;
    root->children.append(head.get());
    root->children.append(leaf.get());

    PlantFrame frame;
    frame.reserveFor(*root);
    Matrix4 modelview = identity;
    modelview.m[12] = 10.0f;

    // to' = (2 - 1) x 3 = 3: not past the last key yet.
    walkPlant(*root, 0.0f, 2.0f, modelview, frame);
    EXPECT_EQ(frame.heads.count + frame.leaves.count, 0);

    // to' = 6 > 4 > from' = 0: both open, negative shade as a head, zero as a leaf,
    // placed at the last key under the model-view matrix.
    frame.clear();
    walkPlant(*root, 1.0f, 3.0f, modelview, frame);
    ASSERT_EQ(frame.heads.count, 1);
    ASSERT_EQ(frame.leaves.count, 1);
    EXPECT_FLOAT_EQ(frame.leaves[0].m[12], 10.0f + 4.0f);
    EXPECT_FLOAT_EQ(frame.leaves[0].m[0], 0.3f * (6.0f - 4.0f) * 0.02f * 0.05f);

    // from' = (2.5 - 1) x 3 = 4.5 is past the last key: gone again.
    frame.clear();
    walkPlant(*root, 2.5f, 4.5f, modelview, frame);
    EXPECT_EQ(frame.heads.count + frame.leaves.count, 0);

    // A marked branch with children carries no model.
    std::unique_ptr<Branch> below = straightBranch(3, 0.0f, 1.0f);
    head->children.append(below.get());
    frame.clear();
    walkPlant(*root, 1.0f, 3.0f, modelview, frame);
    EXPECT_EQ(frame.heads.count, 0);
    EXPECT_EQ(frame.leaves.count, 1);

    head->children.count = 0;
    root->children.count = 0;
}
