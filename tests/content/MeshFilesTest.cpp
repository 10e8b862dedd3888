#include "GeneratedFolder.h"

#include "content/MeshFiles.h"
#include "content/Models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Reads the little-endian fields back, failing the test on a short read.
struct Cursor {
    const std::vector<unsigned char>& bytes;
    size_t at = 0;
    bool ok = true;

    uint32_t u32() {
        if (at + 4 > bytes.size()) {
            ok = false;
            return 0;
        }
        uint32_t v;
        std::memcpy(&v, &bytes[at], 4);
        at += 4;
        return v;
    }
    float f32() {
        const uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    unsigned char u8() { return at < bytes.size() ? bytes[at++] : (ok = false, 0); }
    std::string text() {
        const uint32_t n = u32();
        if (at + n > bytes.size()) {
            ok = false;
            return {};
        }
        std::string s(bytes.begin() + at, bytes.begin() + at + n);
        at += n;
        return s;
    }
};

// The EBR loader's normal of a triangle is (p0 - p1) x (p2 - p1): for the ring it
// must point away from the ring's core circle, or the lit side would face in.
TEST(MeshFiles, EbrTrianglesFollowTheLoadersWinding) {
    const std::vector<unsigned char> bytes = ebrBytes({{"ring", Models::ring()}});
    Cursor in{bytes};
    ASSERT_EQ(in.u32(), 1u);
    const uint32_t vertices = in.u32(), triangles = in.u32();
    EXPECT_EQ(in.text(), "ring");
    std::vector<Vec3> positions(vertices);
    for (Vec3& p : positions) {
        p = {in.f32(), in.f32(), in.f32()};
        in.f32();
        in.f32();
    }
    int inward = 0;
    for (uint32_t t = 0; t < triangles; ++t) {
        const uint32_t i0 = in.u32(), i1 = in.u32(), i2 = in.u32();
        ASSERT_TRUE(i0 < vertices && i1 < vertices && i2 < vertices);
        const Vec3 p0 = positions[i0], p1 = positions[i1], p2 = positions[i2];
        const Vec3 n = cross(p0 - p1, p2 - p1);
        const Vec3 centre = (p0 + p1 + p2) * (1.0f / 3);
        const float r = std::sqrt(centre.x * centre.x + centre.y * centre.y);
        const Vec3 core = Vec3(centre.x, centre.y, 0) * (11.8f / r);
        inward += dot(n, centre - core) <= 0;
    }
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(in.at, bytes.size());
    EXPECT_EQ(inward, 0);
}

struct NmdSummary {
    std::vector<std::string> materials, maps;
    struct Node {
        std::string name, material;
        uint32_t vertices = 0, positionKeys = 0, rotationKeys = 0;
        bool normals = false, channel1 = false;
        float maxRadius = 0;
    };
    std::vector<Node> nodes;
};

// Walks an NMD image as the format lays it out (mesh nodes without children,
// as the generator writes them).
NmdSummary readNmd(const std::vector<unsigned char>& bytes) {
    NmdSummary summary;
    Cursor in{bytes};
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "NMD100");
    in.at = 6;
    const uint32_t materials = in.u32();
    for (uint32_t m = 0; m < materials && in.ok; ++m) {
        summary.materials.push_back(in.text());
        for (int slot = 0; slot < 11; ++slot) {
            const std::string map = in.text();
            if (!map.empty())
                summary.maps.push_back(map);
        }
        in.at += 15 * 4;
    }
    const uint32_t nodes = in.u32();
    for (uint32_t n = 0; n < nodes && in.ok; ++n) {
        NmdSummary::Node node;
        EXPECT_EQ(in.u32(), 1u);
        node.material = in.text();
        node.vertices = in.u32();
        const uint32_t triangles = in.u32();
        node.normals = in.u8();
        for (int flag = 0; flag < 4; ++flag)
            EXPECT_EQ(in.u8(), 0);
        bool channels[8];
        for (bool& c : channels)
            c = in.u8();
        node.channel1 = channels[1];
        for (uint32_t v = 0; v < node.vertices; ++v) {
            const Vec3 p(in.f32(), in.f32(), in.f32());
            node.maxRadius = std::max(node.maxRadius, length(p));
            in.at += (node.normals ? 12 : 0);
            for (bool c : channels)
                in.at += c ? 8 : 0;
        }
        for (uint32_t i = 0; i < 3 * triangles; ++i)
            EXPECT_LT(in.u32(), node.vertices);
        node.name = in.text();
        in.at += 10 * 4;
        node.positionKeys = in.u32();
        node.rotationKeys = in.u32();
        const uint32_t scaleKeys = in.u32();
        in.at += 16 * node.positionKeys + 20 * node.rotationKeys + 16 * scaleKeys;
        EXPECT_EQ(in.u32(), 0u);
        summary.nodes.push_back(node);
    }
    EXPECT_TRUE(in.ok);
    EXPECT_EQ(in.at, bytes.size());
    return summary;
}

TEST(MeshFiles, ScenesCarryTheirMaterialsPicturesAndAnimation) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;

    const NmdSummary water = readNmd(readFileBytes(run.path + "/data/watersphere.nmd"));
    ASSERT_EQ(water.nodes.size(), 1u);
    EXPECT_TRUE(water.nodes[0].normals);
    EXPECT_NEAR(water.nodes[0].maxRadius, 70.6f, 0.01f);

    const NmdSummary planet = readNmd(readFileBytes(run.path + "/data/planet.nmd"));
    ASSERT_GE(planet.nodes.size(), 1u);
    EXPECT_TRUE(planet.nodes[0].channel1) << "pictures are drawn from texture channel 1";
    // Land stands above the water sphere somewhere.
    EXPECT_GT(planet.nodes[0].maxRadius, 71.0f);

    const NmdSummary city = readNmd(readFileBytes(run.path + "/data/citymaps/city.nmd"));
    int animated = 0;
    for (const auto& node : city.nodes) {
        EXPECT_TRUE(node.channel1);
        animated += node.positionKeys >= 2 || node.rotationKeys >= 2;
    }
    EXPECT_GT(animated, 0);

    // Every map names a picture the run wrote where the scene will look for it.
    for (const auto& [scene, folder] :
         {std::pair<const NmdSummary*, std::string>{&planet, "data/"}, {&city, "data/citymaps/"}})
        for (const std::string& map : scene->maps) {
            const std::string file = map.substr(map.find_last_of("/\\") + 1);
            EXPECT_FALSE(readFileBytes(run.path + "/" + folder + file).empty()) << map;
        }
}

} // namespace
