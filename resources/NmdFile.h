#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Map slots of a material, in file order.
namespace NmdMap {
constexpr int Ambient = 0, Diffuse = 1, Specular = 2, Bump = 3, Opacity = 4, FilterColor = 5,
              Glossiness = 6, Shininess = 7, Reflection = 8, Unnamed = 9, Displacement = 10;
constexpr int count = 11;
} // namespace NmdMap

struct NmdMaterial {
    // Where each value starts in `values`. The colours are three floats each, and
    // shader parameters read four floats from each start, running into the next.
    static constexpr int Ambient = 0, Diffuse = 3, Specular = 6, Emission = 9, Opacity = 12,
                         Shininess = 13, SpecularLevel = 14;

    std::string name;
    std::string maps[NmdMap::count]; // empty: no map in that slot
    float values[15] = {};
};

struct NmdVectorKey {
    float value[3] = {};
    float time = 0.0f;
};

struct NmdRotationKey {
    float value[4] = {}; // quaternion x, y, z, w
    float time = 0.0f;
};

namespace NmdNodeType {
constexpr uint32_t Plain = 0, Mesh = 1, Extra2 = 2, Extra3 = 3, Plain4 = 4;
}

// The triangles of a mesh node with the per-vertex channels its flags name.
struct NmdMesh {
    std::string materialName;
    // The first material of the file with exactly that name; null when none has it.
    const NmdMaterial* material = nullptr;
    bool hasNormals = false;
    bool hasExtra1 = false;
    bool hasExtra2 = false;
    bool hasColours = false;
    bool hasWords = false;
    bool hasTexture[8] = {};

    std::vector<float> positions;  // 3 per vertex
    std::vector<float> normals;    // 3 per vertex
    std::vector<float> extra1;     // 3 per vertex
    std::vector<float> extra2;     // 3 per vertex
    std::vector<float> colours;    // 4 per vertex
    std::vector<uint32_t> words;   // 1 per vertex
    std::vector<float> texture[8]; // u, v per vertex, v negated from the file
    std::vector<uint32_t> indices; // 3 per triangle

    size_t vertexCount() const { return positions.size() / 3; }
    size_t triangleCount() const { return indices.size() / 3; }
    // Bytes one vertex takes in the file with these flags.
    size_t vertexBytes() const;
};

// The bodies of node types 2 and 3, kept as read; nothing draws from them.
struct NmdExtraBody {
    std::string text;        // type 3
    uint32_t first[3] = {};  // types 2 and 3
    uint32_t second[3] = {}; // type 2
    uint8_t flags[2] = {};   // type 2
    uint32_t last = 0;       // type 2
};

struct NmdNode {
    uint32_t type = NmdNodeType::Plain;
    std::string name;
    float position[3] = {};
    float rotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float scale[3] = {1.0f, 1.0f, 1.0f};
    std::vector<NmdVectorKey> positionKeys;
    std::vector<NmdRotationKey> rotationKeys;
    std::vector<NmdVectorKey> scaleKeys;
    std::vector<std::unique_ptr<NmdNode>> children;
    std::unique_ptr<NmdMesh> mesh; // type 1 only
    NmdExtraBody extra;            // types 2 and 3
};

// Error text for a file that does not start with the NMD tag.
extern const char* const nmdUnknownTagError;

// Nodes nested deeper than this are taken for damage.
constexpr int nmdMaxDepth = 256;

// An NMD file in memory: materials and the tree of nodes. After a failed read
// `error` says why and both lists are empty, so the scene draws nothing.
class NmdFile {
public:
    // Reads an image in memory; returns false and sets error on damage.
    bool read(const unsigned char* data, size_t size);
    // Reads a file; returns false and sets error (without the file name).
    bool readFile(const std::string& path);

    std::string error;
    // Bytes after the last node, which the reader ignores.
    size_t unreadBytes = 0;
    std::vector<std::unique_ptr<NmdMaterial>> materials;
    std::vector<std::unique_ptr<NmdNode>> nodes;
};

// The file image of a model. Materials of meshes are written by materialName.
// Fails when a mesh's channel arrays do not match its vertex count, its index
// count is not a multiple of 3, or an index is not below the vertex count.
bool encodeNmd(const NmdFile& model, std::vector<unsigned char>& bytes, std::string& error);
bool writeNmdFile(const std::string& path, const NmdFile& model, std::string& error);
