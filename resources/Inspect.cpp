#include "resources/Inspect.h"

#include "resources/EbrFile.h"
#include "resources/NmdAnimation.h"
#include "resources/NmdFile.h"
#include "resources/NmdMaps.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace {

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append(std::string& out, const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        size_t at = out.size();
        out.resize(at + size_t(length) + 1);
        vsnprintf(&out[at], size_t(length) + 1, format, again);
        out.resize(at + size_t(length));
    }
    va_end(again);
}

// Names and strings from a file may hold anything: show them escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

struct Bounds {
    float low[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::infinity()};
    float high[3] = {-std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity()};
    bool empty = true;

    void add(const float* p) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
        empty = false;
    }
    std::string text() const {
        if (empty) {
            return "none";
        }
        std::string out;
        append(out, "(%g %g %g) .. (%g %g %g)", low[0], low[1], low[2], high[0], high[1], high[2]);
        return out;
    }
};

bool degenerate(const float* p0, const float* p1, const float* p2) {
    float ax = p0[0] - p1[0], ay = p0[1] - p1[1], az = p0[2] - p1[2];
    float bx = p2[0] - p1[0], by = p2[1] - p1[1], bz = p2[2] - p1[2];
    float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    return !(nx * nx + ny * ny + nz * nz > 0.0f);
}

const char* const mapNames[NmdMap::count] = {
    "ambient",    "diffuse",   "specular",   "bump",   "opacity",     "filter colour",
    "glossiness", "shininess", "reflection", "slot 9", "displacement"};

const char* typeName(uint32_t type) {
    switch (type) {
    case NmdNodeType::Mesh:
        return "mesh";
    case NmdNodeType::Extra2:
        return "node (type 2)";
    case NmdNodeType::Extra3:
        return "node (type 3)";
    case NmdNodeType::Plain4:
        return "node (type 4)";
    }
    return "node";
}

struct TreeCounts {
    size_t nodes = 0, meshes = 0, vertices = 0, triangles = 0;
};

void countTree(const NmdNode& node, TreeCounts& counts) {
    ++counts.nodes;
    if (node.mesh) {
        ++counts.meshes;
        counts.vertices += node.mesh->vertexCount();
        counts.triangles += node.mesh->triangleCount();
    }
    for (const auto& child : node.children) {
        countTree(*child, counts);
    }
}

template <typename Key> std::string keyText(const std::vector<Key>& keys, const char* what) {
    std::string out;
    if (keys.empty()) {
        append(out, "0 %s", what);
    } else {
        append(out, "%zu %s (%g .. %g s)", keys.size(), what, keys.front().time, keys.back().time);
    }
    return out;
}

void describeMesh(const NmdMesh& mesh, const std::string& indent, std::string& out) {
    append(out, "%s%zu vertices, %zu triangles, material %s%s\n", indent.c_str(),
           mesh.vertexCount(), mesh.triangleCount(), quoted(mesh.materialName).c_str(),
           mesh.material == nullptr ? " (no such material: drawn without one)" : "");
    std::string channels = "position";
    if (mesh.hasNormals) {
        channels += ", normal";
    }
    if (mesh.hasExtra1) {
        channels += ", extra vector 1";
    }
    if (mesh.hasExtra2) {
        channels += ", extra vector 2";
    }
    if (mesh.hasColours) {
        channels += ", colour";
    }
    if (mesh.hasWords) {
        channels += ", per-vertex word";
    }
    for (int k = 0; k < 8; ++k) {
        if (mesh.hasTexture[k]) {
            channels += ", texture " + std::to_string(k);
        }
    }
    Bounds bounds;
    for (size_t i = 0; i < mesh.vertexCount(); ++i) {
        bounds.add(&mesh.positions[i * 3]);
    }
    size_t degenerates = 0;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const uint32_t* index = &mesh.indices[t * 3];
        degenerates +=
            degenerate(&mesh.positions[size_t(index[0]) * 3], &mesh.positions[size_t(index[1]) * 3],
                       &mesh.positions[size_t(index[2]) * 3]);
    }
    append(out, "%schannels: %s\n", indent.c_str(), channels.c_str());
    append(out, "%sbounds %s, %zu degenerate triangles\n", indent.c_str(), bounds.text().c_str(),
           degenerates);
}

void describeNode(const NmdNode& node, int depth, const std::vector<float>& times,
                  std::string& out) {
    std::string indent(size_t(depth) * 2 + 2, ' ');
    std::string inner = indent + "    ";
    append(out, "%s%s %s\n", indent.c_str(), typeName(node.type), quoted(node.name).c_str());
    if (node.mesh) {
        describeMesh(*node.mesh, inner, out);
    }
    if (node.type == NmdNodeType::Extra3) {
        append(out, "%sbody text %s\n", inner.c_str(), quoted(node.extra.text).c_str());
    }
    append(out, "%srest position (%g %g %g), rotation (%g %g %g %g), scale (%g %g %g)\n",
           inner.c_str(), node.position[0], node.position[1], node.position[2], node.rotation[0],
           node.rotation[1], node.rotation[2], node.rotation[3], node.scale[0], node.scale[1],
           node.scale[2]);
    append(
        out, "%skeys: %s, %s, %s\n", inner.c_str(), keyText(node.positionKeys, "position").c_str(),
        keyText(node.rotationKeys, "rotation").c_str(), keyText(node.scaleKeys, "scale").c_str());
    for (float t : times) {
        NodeTransform at = nodeTransformAt(node, t);
        // The frame change negates y; keep an untouched 0 from printing as -0.
        at.translation[2] += 0.0f;
        append(out,
               "%sat %g s: translate (%g %g %g), rotate %g degrees about (%g %g %g), "
               "scale (%g %g %g)\n",
               inner.c_str(), t, at.translation[0], at.translation[1], at.translation[2],
               at.angleDegrees, at.axis[0], at.axis[1], at.axis[2], at.scale[0], at.scale[1],
               at.scale[2]);
    }
    for (const auto& child : node.children) {
        describeNode(*child, depth + 1, times, out);
    }
}

} // namespace

bool describeNmd(const std::string& path, const std::vector<float>& times, std::string& report,
                 std::string& error) {
    NmdFile file;
    if (!file.readFile(path)) {
        error = file.error;
        if (error == nmdUnknownTagError) {
            error += " (no NMD100 tag; an EBR mesh with an .nmd ending reads with --as ebr)";
        }
        return false;
    }
    TreeCounts counts;
    for (const auto& node : file.nodes) {
        countTree(*node, counts);
    }
    std::string& out = report;
    out.clear();
    append(out,
           "%s: NMD, %zu materials, %zu top-level nodes (%zu in all), %zu meshes, %zu vertices, "
           "%zu triangles\n",
           path.c_str(), file.materials.size(), file.nodes.size(), counts.nodes, counts.meshes,
           counts.vertices, counts.triangles);
    for (size_t m = 0; m < file.materials.size(); ++m) {
        const NmdMaterial& material = *file.materials[m];
        append(out, "  material %zu %s\n", m, quoted(material.name).c_str());
        for (int slot = 0; slot < NmdMap::count; ++slot) {
            const std::string& map = material.maps[slot];
            if (map.empty()) {
                continue;
            }
            const char* note = "";
            if (slot == NmdMap::Shininess) {
                note = " (scenes never load this slot)";
            } else if (!isPictureMapName(map)) {
                note = " (not loaded: the three characters after the first dot are not jpg or png)";
            }
            append(out, "    %s map %s%s\n", mapNames[slot], quoted(map).c_str(), note);
        }
        const float* v = material.values;
        append(out,
               "    ambient (%g %g %g), diffuse (%g %g %g), specular (%g %g %g), emission "
               "(%g %g %g)\n",
               v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
        append(out, "    opacity %g, shininess %g, specular level %g\n", v[12], v[13], v[14]);
    }
    for (const auto& node : file.nodes) {
        describeNode(*node, 0, times, out);
    }
    if (file.unreadBytes > 0) {
        append(out, "  %zu bytes after the last node (ignored)\n", file.unreadBytes);
    }
    return true;
}

bool describeEbr(const std::string& path, std::string& report, std::string& error) {
    std::vector<EbrPart> parts;
    size_t unread = 0;
    if (!readEbrFile(path, parts, error, &unread)) {
        return false;
    }
    size_t vertices = 0, triangles = 0;
    for (const EbrPart& part : parts) {
        vertices += part.vertices.size();
        triangles += part.indices.size() / 3;
    }
    std::string& out = report;
    out.clear();
    append(out, "%s: EBR, %zu parts, %zu vertices, %zu triangles\n", path.c_str(), parts.size(),
           vertices, triangles);
    for (size_t p = 0; p < parts.size(); ++p) {
        const EbrPart& part = parts[p];
        Bounds bounds;
        std::vector<bool> used(part.vertices.size(), false);
        for (const EbrVertex& v : part.vertices) {
            const float position[3] = {v.x, v.y, v.z};
            bounds.add(position);
        }
        size_t degenerates = 0;
        for (size_t t = 0; t + 2 < part.indices.size(); t += 3) {
            float p[3][3];
            for (int k = 0; k < 3; ++k) {
                const EbrVertex& v = part.vertices[part.indices[t + k]];
                p[k][0] = v.x;
                p[k][1] = v.y;
                p[k][2] = v.z;
                used[part.indices[t + k]] = true;
            }
            degenerates += degenerate(p[0], p[1], p[2]);
        }
        size_t unused = std::count(used.begin(), used.end(), false);
        append(out, "  part %zu %s: %zu vertices, %zu triangles, bounds %s\n", p,
               quoted(part.name).c_str(), part.vertices.size(), part.indices.size() / 3,
               bounds.text().c_str());
        if (degenerates > 0 || unused > 0) {
            append(out, "    %zu degenerate triangles, %zu vertices used by no triangle\n",
                   degenerates, unused);
        }
    }
    if (unread > 0) {
        append(out, "  %zu bytes after the last part (ignored)\n", unread);
    }
    return true;
}
