#include "resources/EbrFile.h"
#include "resources/ByteReader.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"

#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

std::vector<EbrPart> sampleParts() {
    EbrPart square;
    square.name = "square";
    square.vertices = {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {1, 1, 0, 1, 0.25f}, {0, 1, 0, 0, 1}};
    square.indices = {0, 1, 2, 0, 2, 3};
    EbrPart tri;
    tri.name = "";
    tri.vertices = {{0, 0, 1, 0, 0}, {2, 0, 1, 0, 0}, {0, 3, 1, 0, 0}};
    tri.indices = {2, 1, 0};
    return {square, tri};
}

std::vector<unsigned char> encoded(const std::vector<EbrPart>& parts) {
    std::vector<unsigned char> bytes;
    std::string error;
    EXPECT_TRUE(encodeEbr(parts, bytes, error)) << error;
    return bytes;
}

// A part header followed by the given name length and nothing else.
std::vector<unsigned char> headerOnly(uint32_t vertices, uint32_t triangles, uint32_t nameLength) {
    ByteWriter out;
    out.u32(1);
    out.u32(vertices);
    out.u32(triangles);
    out.u32(nameLength);
    return out.bytes;
}

} // namespace

TEST(EbrFile, RoundTripKeepsEveryPartVertexAndIndex) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeEbrFile(dir.file("mesh.ebr"), sampleParts(), error)) << error;
    std::vector<EbrPart> parts;
    ASSERT_TRUE(readEbrFile(dir.file("mesh.ebr"), parts, error)) << error;
    std::vector<EbrPart> expected = sampleParts();
    ASSERT_EQ(parts.size(), expected.size());
    for (size_t p = 0; p < parts.size(); ++p) {
        EXPECT_EQ(parts[p].name, expected[p].name);
        EXPECT_EQ(parts[p].indices, expected[p].indices);
        ASSERT_EQ(parts[p].vertices.size(), expected[p].vertices.size());
        for (size_t i = 0; i < parts[p].vertices.size(); ++i) {
            EXPECT_EQ(parts[p].vertices[i].y, expected[p].vertices[i].y);
            EXPECT_EQ(parts[p].vertices[i].v, expected[p].vertices[i].v);
        }
    }
    // Header 4, then per part 12 + name + 20 per vertex + 12 per triangle.
    EXPECT_EQ(encoded(expected).size(), 4u + (12 + 6 + 80 + 24) + (12 + 0 + 60 + 12));
}

TEST(EbrFile, ZeroPartsIsAnEmptyMesh) {
    std::vector<unsigned char> bytes = encoded({});
    std::vector<EbrPart> parts(3);
    std::string error;
    EXPECT_TRUE(readEbr(bytes.data(), bytes.size(), parts, error)) << error;
    EXPECT_TRUE(parts.empty());
}

TEST(EbrFile, EveryTruncationIsRejected) {
    std::vector<unsigned char> bytes = encoded(sampleParts());
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + length);
        std::vector<EbrPart> parts;
        std::string error;
        EXPECT_FALSE(readEbr(cut.data(), cut.size(), parts, error)) << "length " << length;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(parts.empty());
    }
}

TEST(EbrFile, DamagedCountsAndIndicesAreRejectedWithAReason) {
    std::vector<EbrPart> parts;
    std::string error;

    std::vector<unsigned char> hugeParts = {0xff, 0xff, 0xff, 0xff};
    EXPECT_FALSE(readEbr(hugeParts.data(), hugeParts.size(), parts, error));
    EXPECT_NE(error.find("part count"), std::string::npos) << error;

    std::vector<unsigned char> hugeVertices = headerOnly(0x40000000, 0, 0);
    EXPECT_FALSE(readEbr(hugeVertices.data(), hugeVertices.size(), parts, error));
    EXPECT_NE(error.find("ends early"), std::string::npos) << error;

    std::vector<unsigned char> longName = headerOnly(0, 0, 257);
    longName.resize(longName.size() + 257, 'a');
    EXPECT_FALSE(readEbr(longName.data(), longName.size(), parts, error));
    EXPECT_NE(error.find("name length 257"), std::string::npos) << error;

    std::vector<unsigned char> longestName = headerOnly(0, 0, 256);
    longestName.resize(longestName.size() + 256, 'a');
    EXPECT_TRUE(readEbr(longestName.data(), longestName.size(), parts, error)) << error;

    std::vector<EbrPart> bad = sampleParts();
    std::vector<unsigned char> bytes = encoded(bad);
    // The last index of the last part: make it equal to that part's vertex count.
    bytes[bytes.size() - 4] = 3;
    EXPECT_FALSE(readEbr(bytes.data(), bytes.size(), parts, error));
    EXPECT_NE(error.find("index 3"), std::string::npos) << error;
    EXPECT_NE(error.find("part 1"), std::string::npos) << error;
}

TEST(EbrFile, WriterRefusesWhatTheReaderWouldReject) {
    std::vector<unsigned char> bytes;
    std::string error;
    std::vector<EbrPart> parts = sampleParts();
    parts[0].indices.push_back(9);
    EXPECT_FALSE(encodeEbr(parts, bytes, error));
    parts = sampleParts();
    parts[0].indices[0] = 4;
    EXPECT_FALSE(encodeEbr(parts, bytes, error));
    parts = sampleParts();
    parts[1].name.assign(257, 'x');
    EXPECT_FALSE(encodeEbr(parts, bytes, error));
    EXPECT_FALSE(writeEbrFile("/nonexistent-folder/x.ebr", sampleParts(), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(EbrFile, MissingFileNamesTheReason) {
    std::vector<EbrPart> parts;
    std::string error;
    EXPECT_FALSE(readEbrFile("/nonexistent-folder/x.ebr", parts, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

namespace {

struct Records {
    std::vector<float> data; // 8 floats per vertex
    void add(float x, float y, float z) { data.insert(data.end(), {x, y, z, 9, 9, 9, 0, 0}); }
    const float* normal(size_t i) const { return &data[i * 8 + 3]; }
};

} // namespace

TEST(SmoothNormals, FaceNormalPointsAgainstCounterClockwiseWinding) {
    Records r;
    r.add(0, 0, 0);
    r.add(1, 0, 0);
    r.add(0, 1, 0);
    uint32_t indices[] = {0, 1, 2};
    computeSmoothNormals(r.data.data(), 8, 3, indices, 3, true);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(r.normal(i)[0], 0.0f);
        EXPECT_FLOAT_EQ(r.normal(i)[1], 0.0f);
        EXPECT_FLOAT_EQ(r.normal(i)[2], -1.0f);
    }
}

TEST(SmoothNormals, SharedVertexAveragesUnitFaceNormalsWhateverTheirArea) {
    Records r;
    r.add(0, 0, 0); // shared
    r.add(1, 0, 0);
    r.add(0, 1, 0);  // small triangle in the z = 0 plane
    r.add(0, 0, 10); // large triangle in the y = 0 plane
    r.add(10, 0, 0);
    uint32_t indices[] = {0, 1, 2, 0, 3, 4};
    computeSmoothNormals(r.data.data(), 8, 5, indices, 6, true);
    // Faces: (0, 0, -1), and (0, -1, 0) from (p0 - p1) x (p2 - p1) =
    // (0, 0, -10) x (10, 0, -10) = (0, -100, 0); the sum is normalised.
    const float* n = r.normal(0);
    EXPECT_NEAR(n[0], 0.0f, 1e-6f);
    EXPECT_NEAR(n[1], -std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(n[2], -std::sqrt(0.5f), 1e-6f);
}

TEST(SmoothNormals, DegenerateTrianglesAddNothingAndUnusedVerticesStayZero) {
    Records r;
    r.add(0, 0, 0);
    r.add(1, 0, 0);
    r.add(0, 1, 0);
    r.add(2, 2, 2); // used only by a degenerate triangle
    r.add(5, 5, 5); // used by nothing
    uint32_t indices[] = {0, 1, 2, 3, 3, 1};
    computeSmoothNormals(r.data.data(), 8, 5, indices, 6, true);
    EXPECT_FLOAT_EQ(r.normal(1)[2], -1.0f);
    for (size_t i : {3, 4}) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(r.normal(i)[k], 0.0f) << "vertex " << i;
        }
    }
}

// A file written byte by byte from the format's layout, not by our writer: one
// part "t" with the triangle (0, 0, 0), (1, 0, 0), (0, 1, 0), counter-clockwise
// seen from +z, whose normals point to -z; the third vertex stores v = 0.25.
TEST(EbrFile, HandWrittenBytesLoadIntoRecordsWithNormalsAgainstTheWinding) {
    const unsigned char bytes[] = {
        0x01, 0x00, 0x00, 0x00,                         // part count 1
        0x03, 0x00, 0x00, 0x00,                         // vertex count 3
        0x01, 0x00, 0x00, 0x00,                         // triangle count 1
        0x01, 0x00, 0x00, 0x00, 't',                    // name length 1, "t"
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // (0, 0,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, //  0), u 0,
        0x00, 0x00, 0x80, 0x3f,                         //  v 1
        0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, // (1, 0,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3f, //  0), u 1,
        0x00, 0x00, 0x00, 0x00,                         //  v 0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3f, // (0, 1,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3f, //  0), u 0.5,
        0x00, 0x00, 0x80, 0x3e,                         //  v 0.25
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, // indices 0, 1,
        0x02, 0x00, 0x00, 0x00,                         //  2
    };
    TempDir dir;
    FILE* file = fopen(dir.file("t.ebr").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes, 1, sizeof bytes, file);
    fclose(file);

    EbrMesh mesh(dir.file("t.ebr"), BufferUsage::Client, BufferUsage::Client);
    ASSERT_EQ(mesh.partCount(), 1);
    const VertexBuffer& vertices = *mesh.part(0)->vertexBuffers[0];
    ASSERT_EQ(vertices.vertexCount, 3);
    ASSERT_EQ(vertices.floatsPerVertex, 8);
    const std::vector<float> records(vertices.data, vertices.data + 24);
    const std::vector<float> expected = {0, 0, 0, 0, 0, -1, 0,    -1,    //
                                         1, 0, 0, 0, 0, -1, 1,    -0.0f, //
                                         0, 1, 0, 0, 0, -1, 0.5f, -0.25f};
    EXPECT_EQ(records, expected);
    const IndexBuffer& indices = *mesh.part(0)->indexBuffer;
    EXPECT_EQ(std::vector<uint32_t>(indices.data, indices.data + indices.indexCount),
              (std::vector<uint32_t>{0, 1, 2}));
}
