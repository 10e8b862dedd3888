#include "resources/EbrFile.h"

#include "resources/ByteReader.h"
#include "resources/WholeFile.h"

#include <cmath>

namespace {

constexpr size_t partHeaderBytes = 12;
constexpr size_t vertexBytes = 20;
constexpr size_t triangleBytes = 12;

void readPart(ByteReader& in, size_t partIndex, EbrPart& part) {
    uint32_t vertexCount = in.count("vertex count", 0);
    uint32_t triangleCount = in.count("triangle count", 0);
    size_t at = in.offset();
    uint32_t nameLength = in.u32("name length");
    if (nameLength > ebrMaxNameLength) {
        throw FormatError("part " + std::to_string(partIndex) + ": name length " +
                          std::to_string(nameLength) + " at offset " + std::to_string(at) +
                          " is above the limit of " + std::to_string(ebrMaxNameLength));
    }
    const unsigned char* name = in.bytes(nameLength, "part name");
    part.name.assign(reinterpret_cast<const char*>(name), nameLength);

    in.need(static_cast<uint64_t>(vertexCount) * vertexBytes +
                static_cast<uint64_t>(triangleCount) * triangleBytes,
            "the part's vertices and triangles");
    part.vertices.resize(vertexCount);
    for (EbrVertex& v : part.vertices) {
        v.x = in.f32("vertex");
        v.y = in.f32("vertex");
        v.z = in.f32("vertex");
        v.u = in.f32("vertex");
        v.v = in.f32("vertex");
    }
    part.indices.resize(static_cast<size_t>(triangleCount) * 3);
    for (size_t i = 0; i < part.indices.size(); ++i) {
        size_t indexAt = in.offset();
        uint32_t index = in.u32("index");
        if (index >= vertexCount) {
            throw FormatError("part " + std::to_string(partIndex) + ": index " +
                              std::to_string(index) + " at offset " + std::to_string(indexAt) +
                              " is not below the vertex count " + std::to_string(vertexCount));
        }
        part.indices[i] = index;
    }
}

} // namespace

bool readEbr(const unsigned char* data, size_t size, std::vector<EbrPart>& parts,
             std::string& error, size_t* unread) {
    parts.clear();
    try {
        ByteReader in(data, size);
        uint32_t partCount = in.count("part count", partHeaderBytes);
        parts.resize(partCount);
        for (uint32_t p = 0; p < partCount; ++p) {
            readPart(in, p, parts[p]);
        }
        if (unread != nullptr) {
            *unread = in.remaining();
        }
    } catch (const FormatError& damage) {
        parts.clear();
        error = damage.what();
        return false;
    }
    return true;
}

bool readEbrFile(const std::string& path, std::vector<EbrPart>& parts, std::string& error,
                 size_t* unread) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes, error)) {
        parts.clear();
        return false;
    }
    return readEbr(bytes.data(), bytes.size(), parts, error, unread);
}

bool encodeEbr(const std::vector<EbrPart>& parts, std::vector<unsigned char>& bytes,
               std::string& error) {
    ByteWriter out;
    out.u32(static_cast<uint32_t>(parts.size()));
    for (size_t p = 0; p < parts.size(); ++p) {
        const EbrPart& part = parts[p];
        std::string where = "part " + std::to_string(p) + ": ";
        if (part.name.size() > ebrMaxNameLength) {
            error = where + "name longer than " + std::to_string(ebrMaxNameLength) + " bytes";
            return false;
        }
        if (part.indices.size() % 3 != 0) {
            error = where + "index count " + std::to_string(part.indices.size()) +
                    " is not a multiple of 3";
            return false;
        }
        out.u32(static_cast<uint32_t>(part.vertices.size()));
        out.u32(static_cast<uint32_t>(part.indices.size() / 3));
        out.string(part.name);
        for (const EbrVertex& v : part.vertices) {
            out.f32(v.x);
            out.f32(v.y);
            out.f32(v.z);
            out.f32(v.u);
            out.f32(v.v);
        }
        for (uint32_t index : part.indices) {
            if (index >= part.vertices.size()) {
                error = where + "index " + std::to_string(index) +
                        " is not below the vertex count " + std::to_string(part.vertices.size());
                return false;
            }
            out.u32(index);
        }
    }
    bytes = std::move(out.bytes);
    return true;
}

bool writeEbrFile(const std::string& path, const std::vector<EbrPart>& parts, std::string& error) {
    std::vector<unsigned char> bytes;
    return encodeEbr(parts, bytes, error) && writeFileBytes(path, bytes, error);
}

void computeSmoothNormals(float* records, size_t stride, size_t vertexCount,
                          const uint32_t* indices, size_t indexCount, bool normalise) {
    for (size_t i = 0; i < vertexCount; ++i) {
        float* n = records + i * stride + 3;
        n[0] = n[1] = n[2] = 0.0f;
    }
    for (size_t t = 0; t + 2 < indexCount; t += 3) {
        const float* p0 = records + indices[t] * stride;
        const float* p1 = records + indices[t + 1] * stride;
        const float* p2 = records + indices[t + 2] * stride;
        float ax = p0[0] - p1[0], ay = p0[1] - p1[1], az = p0[2] - p1[2];
        float bx = p2[0] - p1[0], by = p2[1] - p1[1], bz = p2[2] - p1[2];
        float nx = ay * bz - az * by;
        float ny = az * bx - ax * bz;
        float nz = ax * by - ay * bx;
        float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        // A triangle without area has no direction to give; dividing would spread
        // NaN into every normal it shares a vertex with.
        if (!(length > 0.0f)) {
            continue;
        }
        nx /= length;
        ny /= length;
        nz /= length;
        for (size_t k = 0; k < 3; ++k) {
            float* n = records + indices[t + k] * stride + 3;
            n[0] += nx;
            n[1] += ny;
            n[2] += nz;
        }
    }
    if (!normalise) {
        return;
    }
    for (size_t i = 0; i < vertexCount; ++i) {
        float* n = records + i * stride + 3;
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            n[0] /= length;
            n[1] /= length;
            n[2] /= length;
        }
    }
}

void ebrVertexRecords(const EbrPart& part, std::vector<float>& records) {
    const size_t vertexCount = part.vertices.size();
    records.assign(vertexCount * 8, 0.0f);
    for (size_t i = 0; i < vertexCount; ++i) {
        const EbrVertex& v = part.vertices[i];
        float* r = &records[i * 8];
        r[0] = v.x;
        r[1] = v.y;
        r[2] = v.z;
        r[6] = v.u;
        r[7] = -v.v;
    }
    computeSmoothNormals(records.data(), 8, vertexCount, part.indices.data(), part.indices.size(),
                         true);
}
