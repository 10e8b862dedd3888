#include "content/MeshData.h"

#include <utility>

uint32_t MeshData::addVertex(const Vec3& position, const Vec3& normal, float u, float v) {
    positions.push_back(position);
    normals.push_back(normal);
    uvs.push_back(u);
    uvs.push_back(v);
    return static_cast<uint32_t>(positions.size() - 1);
}

void MeshData::addTriangle(uint32_t a, uint32_t b, uint32_t c) {
    indices.insert(indices.end(), {a, b, c});
}

void MeshData::addQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    addTriangle(a, b, c);
    addTriangle(a, c, d);
}

void MeshData::append(const MeshData& other) {
    const uint32_t base = static_cast<uint32_t>(positions.size());
    positions.insert(positions.end(), other.positions.begin(), other.positions.end());
    normals.insert(normals.end(), other.normals.begin(), other.normals.end());
    uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
    for (uint32_t i : other.indices)
        indices.push_back(base + i);
}

void MeshData::addBackFaces() {
    const uint32_t base = static_cast<uint32_t>(positions.size());
    const size_t vertices = positions.size(), triangles = indices.size() / 3;
    for (size_t i = 0; i < vertices; ++i)
        addVertex(positions[i], -normals[i], uvs[2 * i], uvs[2 * i + 1]);
    for (size_t t = 0; t < triangles; ++t)
        addTriangle(base + indices[3 * t], base + indices[3 * t + 2], base + indices[3 * t + 1]);
}

void MeshData::translate(const Vec3& offset) {
    for (Vec3& p : positions)
        p += offset;
}

void MeshData::orientToNormals() {
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        const Vec3& a = positions[indices[i]];
        const Vec3& b = positions[indices[i + 1]];
        const Vec3& c = positions[indices[i + 2]];
        const Vec3 mean = normals[indices[i]] + normals[indices[i + 1]] + normals[indices[i + 2]];
        if (dot(cross(b - a, c - a), mean) < 0)
            std::swap(indices[i + 1], indices[i + 2]);
    }
}

MeshData box(const Vec3& lo, const Vec3& hi, float uvPerUnit) {
    MeshData mesh;
    // Each face: an origin corner, two edge vectors (counter-clockwise seen from
    // outside), and its outward normal.
    struct Face {
        Vec3 origin, edgeU, edgeV, normal;
    };
    const Vec3 size = hi - lo;
    const Face faces[6] = {
        {{lo.x, lo.y, lo.z}, {size.x, 0, 0}, {0, size.y, 0}, {0, 0, -1}}, // z low
        {{lo.x, hi.y, hi.z}, {size.x, 0, 0}, {0, -size.y, 0}, {0, 0, 1}}, // z high
        {{lo.x, lo.y, hi.z}, {size.x, 0, 0}, {0, 0, -size.z}, {0, -1, 0}},
        {{hi.x, hi.y, hi.z}, {-size.x, 0, 0}, {0, 0, -size.z}, {0, 1, 0}},
        {{lo.x, hi.y, hi.z}, {0, -size.y, 0}, {0, 0, -size.z}, {-1, 0, 0}},
        {{hi.x, lo.y, hi.z}, {0, size.y, 0}, {0, 0, -size.z}, {1, 0, 0}},
    };
    for (const Face& f : faces) {
        const float us = length(f.edgeU) * uvPerUnit, vs = length(f.edgeV) * uvPerUnit;
        const uint32_t a = mesh.addVertex(f.origin, f.normal, 0, 0);
        const uint32_t b = mesh.addVertex(f.origin + f.edgeU, f.normal, us, 0);
        const uint32_t c = mesh.addVertex(f.origin + f.edgeU + f.edgeV, f.normal, us, vs);
        const uint32_t d = mesh.addVertex(f.origin + f.edgeV, f.normal, 0, vs);
        // Wind by the actual geometry so the quad faces its normal.
        if (dot(cross(f.edgeU, f.edgeV), f.normal) > 0)
            mesh.addQuad(a, b, c, d);
        else
            mesh.addQuad(a, d, c, b);
    }
    return mesh;
}
