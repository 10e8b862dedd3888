// The box a scene can draw into over its whole animation: owners skip copies of
// a scene by it, so no vertex may ever leave it.
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "resources/NmdAnimation.h"

#include "support/GlTest.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

std::unique_ptr<NmdNode> meshNode(std::vector<float> positions) {
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->mesh = std::make_unique<NmdMesh>();
    node->mesh->positions = std::move(positions);
    return node;
}

// Every vertex of the tree at time t, placed as NmdScene::render places it,
// through the GL matrix stack.
void forEachVertex(const NmdNode& node, float t, const std::function<void(const float*)>& visit) {
    pushMatrix();
    const NodeTransform at = nodeTransformAt(node, t);
    translate(at.translation[0], at.translation[1], at.translation[2]);
    rotate(at.angleDegrees, at.axis[0], at.axis[1], at.axis[2]);
    scale(at.scale[0], at.scale[1], at.scale[2]);
    if (node.mesh) {
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        const std::vector<float>& p = node.mesh->positions;
        for (size_t i = 0; i + 2 < p.size(); i += 3) {
            float v[3];
            for (int r = 0; r < 3; ++r) {
                v[r] = m[r] * p[i] + m[4 + r] * p[i + 1] + m[8 + r] * p[i + 2] + m[12 + r];
            }
            visit(v);
        }
    }
    for (const auto& child : node.children) {
        forEachVertex(*child, t, visit);
    }
    popMatrix();
}

} // namespace

class NmdBoundsTest : public GlTest {};

TEST_F(NmdBoundsTest, NoVertexLeavesTheBoxAtAnyTimeAndTheBoxIsNotFarOff) {
    // A carrier that travels, turns and stretches (one scale negative), with a
    // turning arm on it; a still mesh beside it; a node that draws nothing far away.
    std::vector<std::unique_ptr<NmdNode>> nodes;
    auto carrier = meshNode({-1, -1, 0, 1, -1, 0, 1, 1, 2});
    carrier->positionKeys = {{{-40, 10, 5}, 0.0f}, {{30, -20, 0}, 4.0f}, {{35, 0, -8}, 9.0f}};
    carrier->rotationKeys = {{{0, 0, 0, 1}, 0.0f},
                             {{0, 0, 0.7071068f, 0.7071068f}, 3.0f},
                             {{0.5f, 0.5f, 0.5f, 0.5f}, 8.0f}};
    carrier->scaleKeys = {{{1, 1, 1}, 0.0f}, {{2, -3, 0.5f}, 6.0f}};
    auto arm = meshNode({0, 0, 0, 4, 0, 0, 4, 1, 0});
    arm->position[0] = 6;
    arm->position[1] = -2;
    arm->rotationKeys = {{{0, 0, 0, 1}, 0.0f}, {{0.7071068f, 0, 0, 0.7071068f}, 5.0f}};
    carrier->children.push_back(std::move(arm));
    nodes.push_back(std::move(carrier));
    nodes.push_back(meshNode({100, 0, 0, 101, 0, 0, 100, 1, 3}));
    auto empty = std::make_unique<NmdNode>();
    empty->position[0] = 1e6f;
    nodes.push_back(std::move(empty));

    const NmdBounds box = animatedBounds(nodes);
    ASSERT_FALSE(box.empty());
    float reached[3][2] = {{1e30f, -1e30f}, {1e30f, -1e30f}, {1e30f, -1e30f}};
    modelviewIdentity();
    for (float t = -2.0f; t <= 12.0f; t += 0.05f) {
        for (const auto& node : nodes) {
            forEachVertex(*node, t, [&](const float* v) {
                for (int c = 0; c < 3; ++c) {
                    EXPECT_GE(v[c], box.min[c]) << "axis " << c << " at t = " << t;
                    EXPECT_LE(v[c], box.max[c]) << "axis " << c << " at t = " << t;
                    reached[c][0] = std::min(reached[c][0], v[c]);
                    reached[c][1] = std::max(reached[c][1], v[c]);
                }
            });
        }
    }
    // Conservative, by at most the carrier's farthest corner at full stretch
    // (12.5 x 3) where it turns; exact where nothing turns or stretches.
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(box.min[c], reached[c][0] - 40.0f) << "axis " << c;
        EXPECT_LT(box.max[c], reached[c][1] + 40.0f) << "axis " << c;
    }
    EXPECT_NEAR(box.max[0], 101.0f, 0.1f) << "the still mesh";
    EXPECT_LT(box.max[0], 1000.0f) << "a node without a mesh widened the box";
}

TEST_F(NmdBoundsTest, NothingToDrawGivesAnEmptyBox) {
    std::vector<std::unique_ptr<NmdNode>> nodes;
    EXPECT_TRUE(animatedBounds(nodes).empty());
    nodes.push_back(std::make_unique<NmdNode>());
    nodes.push_back(meshNode({}));
    nodes[0]->children.push_back(meshNode({}));
    EXPECT_TRUE(animatedBounds(nodes).empty());
    nodes[0]->children[0]->mesh->positions = {0, 0, 0};
    EXPECT_FALSE(animatedBounds(nodes).empty());
}

TEST_F(NmdBoundsTest, OddValuesWidenTheBoxInsteadOfLosingANode) {
    // A turn whose axis has no length (GL leaves such a turn out) and a track
    // with a value that is no number.
    std::vector<std::unique_ptr<NmdNode>> nodes;
    auto unturned = meshNode({20, 0, 0, 21, 0, 0, 20, 1, 0});
    unturned->rotation[3] = 0.5f;
    nodes.push_back(std::move(unturned));
    NmdBounds box = animatedBounds(nodes);
    modelviewIdentity();
    forEachVertex(*nodes[0], 0.0f, [&](const float* v) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_GE(v[c], box.min[c]);
            EXPECT_LE(v[c], box.max[c]);
        }
    });

    auto lost = meshNode({0, 0, 0, 1, 0, 0, 0, 1, 0});
    lost->positionKeys = {{{0, 0, 0}, 0.0f}, {{std::nanf(""), 0, 0}, 1.0f}};
    nodes.push_back(std::move(lost));
    box = animatedBounds(nodes);
    EXPECT_TRUE(std::isinf(box.min[0]) && std::isinf(box.max[0]));
}
