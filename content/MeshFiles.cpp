#include "content/MeshFiles.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Little-endian writers for the two formats' fields.
struct ByteWriter {
    std::vector<unsigned char> bytes;

    void u32(uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void f32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        u32(bits);
    }
    void u8(unsigned char value) { bytes.push_back(value); }
    void text(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void raw(const char* s, size_t n) { bytes.insert(bytes.end(), s, s + n); }
};

} // namespace

std::vector<unsigned char> ebrBytes(const std::vector<std::pair<std::string, MeshData>>& parts) {
    ByteWriter out;
    out.u32(static_cast<uint32_t>(parts.size()));
    for (const auto& [name, mesh] : parts) {
        out.u32(static_cast<uint32_t>(mesh.vertexCount()));
        out.u32(static_cast<uint32_t>(mesh.indices.size() / 3));
        out.text(name);
        for (size_t i = 0; i < mesh.vertexCount(); ++i) {
            out.f32(mesh.positions[i].x);
            out.f32(mesh.positions[i].y);
            out.f32(mesh.positions[i].z);
            out.f32(mesh.uvs[2 * i]);
            out.f32(mesh.uvs[2 * i + 1]);
        }
        // The loader's normal of a triangle is (p0 - p1) x (p2 - p1), the opposite
        // of the counter-clockwise one: store every triangle clockwise.
        for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
            out.u32(mesh.indices[t]);
            out.u32(mesh.indices[t + 2]);
            out.u32(mesh.indices[t + 1]);
        }
    }
    return out.bytes;
}

namespace {

// The scene applies a node position (x, y, z) as (x, z, -y): store the inverse.
void fileVector(ByteWriter& out, const Vec3& drawn) {
    out.f32(drawn.x);
    out.f32(-drawn.z);
    out.f32(drawn.y);
}

// A turn by angle about the drawing frame's z axis. The scene turns a file
// quaternion (x, y, z, w) by -2 acos(w) about (x, z, -y) / sin, which for
// (0, sin(a/2), 0, cos(a/2)) is a about +z.
void fileTurn(ByteWriter& out, float angle) {
    out.f32(0);
    out.f32(std::sin(angle / 2));
    out.f32(0);
    out.f32(std::cos(angle / 2));
}

void writeNode(ByteWriter& out, const NmdSceneNode& node) {
    const MeshData& mesh = node.mesh;
    out.u32(1); // a mesh node
    out.text(node.material);
    out.u32(static_cast<uint32_t>(mesh.vertexCount()));
    out.u32(static_cast<uint32_t>(mesh.indices.size() / 3));
    out.u8(node.withNormals ? 1 : 0);
    out.u8(0); // extra vector 1
    out.u8(0); // extra vector 2
    out.u8(0); // colours
    out.u8(0); // per-vertex word
    for (int channel = 0; channel < 8; ++channel)
        out.u8(channel == 1 && node.withTexture ? 1 : 0);
    for (size_t i = 0; i < mesh.vertexCount(); ++i) {
        out.f32(mesh.positions[i].x);
        out.f32(mesh.positions[i].y);
        out.f32(mesh.positions[i].z);
        if (node.withNormals) {
            out.f32(mesh.normals[i].x);
            out.f32(mesh.normals[i].y);
            out.f32(mesh.normals[i].z);
        }
        if (node.withTexture) {
            out.f32(mesh.uvs[2 * i]);
            out.f32(mesh.uvs[2 * i + 1]);
        }
    }
    for (uint32_t index : mesh.indices)
        out.u32(index);

    out.text(node.name);
    // Rest transform: where the first key puts the node, or nowhere.
    fileVector(out, node.positionKeys.empty() ? Vec3() : node.positionKeys.front().second);
    fileTurn(out, node.turnKeys.empty() ? 0.0f : node.turnKeys.front().second);
    out.f32(1);
    out.f32(1);
    out.f32(1);
    out.u32(static_cast<uint32_t>(node.positionKeys.size()));
    out.u32(static_cast<uint32_t>(node.turnKeys.size()));
    out.u32(0); // scale keys
    for (const auto& [time, position] : node.positionKeys) {
        fileVector(out, position);
        out.f32(time);
    }
    for (const auto& [time, angle] : node.turnKeys) {
        fileTurn(out, angle);
        out.f32(time);
    }
    out.u32(0); // children
}

} // namespace

std::vector<unsigned char> nmdBytes(const std::vector<NmdSceneMaterial>& materials,
                                    const std::vector<NmdSceneNode>& nodes) {
    ByteWriter out;
    out.raw("NMD100", 6);
    out.u32(static_cast<uint32_t>(materials.size()));
    for (const NmdSceneMaterial& m : materials) {
        out.text(m.name);
        for (int slot = 0; slot < 11; ++slot)
            out.text(slot == 1 ? m.diffuseMap : std::string());
        const float ambient[3] = {m.diffuse[0] * 0.3f, m.diffuse[1] * 0.3f, m.diffuse[2] * 0.3f};
        for (float v : ambient)
            out.f32(v);
        for (float v : m.diffuse)
            out.f32(v);
        for (int i = 0; i < 3; ++i)
            out.f32(0.2f); // specular
        for (int i = 0; i < 3; ++i)
            out.f32(0.0f); // emission
        out.f32(1.0f);     // opacity
        out.f32(10.0f);    // shininess
        out.f32(0.3f);     // specular level
    }
    out.u32(static_cast<uint32_t>(nodes.size()));
    for (const NmdSceneNode& node : nodes)
        writeNode(out, node);
    return out.bytes;
}
