#include "resources/NmdFile.h"

#include "resources/ByteReader.h"
#include "resources/WholeFile.h"

#include <cmath>
#include <cstring>

const char* const nmdUnknownTagError = "Unknown file tag. Version conflict or damaged file";

namespace {

const char tag[6] = {'N', 'M', 'D', '1', '0', '0'};

// Smallest records the counts can stand for: a material with empty names, and a
// node of type 0 with an empty name, no keys and no children.
constexpr size_t minMaterialBytes = 4 + NmdMap::count * 4 + 15 * 4;
constexpr size_t minNodeBytes = 4 + 4 + 10 * 4 + 3 * 4 + 4;

// Normals are unit directions; an exporter's rounding stays close to 1, while
// damage (or zeros written over the data) lands anywhere.
constexpr float minNormalLength = 0.5f;
constexpr float maxNormalLength = 2.0f;

// A value that is no number, or infinite, is damage: no exporter writes one, and
// the scene would hand it to OpenGL as a vertex or a transform.
void readFloats(ByteReader& in, float* values, int n, const char* what) {
    size_t at = in.offset();
    for (int i = 0; i < n; ++i) {
        values[i] = in.f32(what);
    }
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(values[i])) {
            throw FormatError(std::string(what) + " at offset " + std::to_string(at) + " holds " +
                              std::to_string(values[i]) + ", not a finite number");
        }
    }
}

// Key times ascend within a track, as the animation's search relies on.
template <typename Key>
void checkKeyOrder(const std::vector<Key>& keys, const char* what, size_t trackAt) {
    for (size_t k = 1; k < keys.size(); ++k) {
        if (keys[k].time < keys[k - 1].time) {
            throw FormatError(std::string(what) + " " + std::to_string(k) +
                              " of the track at offset " + std::to_string(trackAt) + " is at " +
                              std::to_string(keys[k].time) + " s, before the key ahead of it at " +
                              std::to_string(keys[k - 1].time) + " s");
        }
    }
}

void readMaterial(ByteReader& in, NmdMaterial& material) {
    material.name = in.string("material name");
    for (std::string& map : material.maps) {
        map = in.string("map file name");
    }
    readFloats(in, material.values, 15, "material colours");
}

class Reader {
public:
    Reader(ByteReader& in_, NmdFile& file_) : in(in_), file(file_) {}

    std::unique_ptr<NmdNode> node(int depth) {
        if (depth > nmdMaxDepth) {
            throw FormatError("nodes nested deeper than " + std::to_string(nmdMaxDepth) +
                              " levels at offset " + std::to_string(in.offset()));
        }
        auto node = std::make_unique<NmdNode>();
        size_t at = in.offset();
        node->type = in.u32("node type");
        switch (node->type) {
        case NmdNodeType::Plain:
        case NmdNodeType::Plain4:
            break;
        case NmdNodeType::Mesh:
            node->mesh = mesh();
            break;
        case NmdNodeType::Extra2:
            extra2(node->extra);
            break;
        case NmdNodeType::Extra3:
            node->extra.text = in.string("node body text");
            for (uint32_t& value : node->extra.first) {
                value = in.u32("node body");
            }
            break;
        default:
            throw FormatError("unknown node type " + std::to_string(node->type) + " at offset " +
                              std::to_string(at));
        }
        node->name = in.string("node name");
        readFloats(in, node->position, 3, "rest position");
        readFloats(in, node->rotation, 4, "rest rotation");
        readFloats(in, node->scale, 3, "rest scale");
        uint32_t positionKeys = in.u32("position key count");
        uint32_t rotationKeys = in.u32("rotation key count");
        uint32_t scaleKeys = in.u32("scale key count");
        in.need(uint64_t(positionKeys) * 16 + uint64_t(rotationKeys) * 20 +
                    uint64_t(scaleKeys) * 16,
                "the node's keys");
        size_t trackAt = in.offset();
        node->positionKeys.resize(positionKeys);
        for (NmdVectorKey& key : node->positionKeys) {
            readFloats(in, key.value, 3, "position key");
            readFloats(in, &key.time, 1, "position key time");
        }
        checkKeyOrder(node->positionKeys, "position key", trackAt);
        trackAt = in.offset();
        node->rotationKeys.resize(rotationKeys);
        for (NmdRotationKey& key : node->rotationKeys) {
            readFloats(in, key.value, 4, "rotation key");
            readFloats(in, &key.time, 1, "rotation key time");
        }
        checkKeyOrder(node->rotationKeys, "rotation key", trackAt);
        trackAt = in.offset();
        node->scaleKeys.resize(scaleKeys);
        for (NmdVectorKey& key : node->scaleKeys) {
            readFloats(in, key.value, 3, "scale key");
            readFloats(in, &key.time, 1, "scale key time");
        }
        checkKeyOrder(node->scaleKeys, "scale key", trackAt);
        uint32_t children = in.count("child count", minNodeBytes);
        node->children.reserve(children);
        for (uint32_t c = 0; c < children; ++c) {
            node->children.push_back(this->node(depth + 1));
        }
        return node;
    }

private:
    void extra2(NmdExtraBody& body) {
        for (uint32_t& value : body.first) {
            value = in.u32("node body");
        }
        for (uint32_t& value : body.second) {
            value = in.u32("node body");
        }
        body.flags[0] = in.u8("node body");
        body.flags[1] = in.u8("node body");
        body.last = in.u32("node body");
    }

    std::unique_ptr<NmdMesh> mesh() {
        auto mesh = std::make_unique<NmdMesh>();
        mesh->materialName = in.string("mesh material name");
        for (const auto& material : file.materials) {
            if (material->name == mesh->materialName) {
                mesh->material = material.get();
                break;
            }
        }
        uint32_t vertexCount = in.u32("vertex count");
        size_t triangleAt = in.offset();
        uint32_t triangleCount = in.u32("triangle count");
        mesh->hasNormals = in.u8("channel flag") != 0;
        mesh->hasExtra1 = in.u8("channel flag") != 0;
        mesh->hasExtra2 = in.u8("channel flag") != 0;
        mesh->hasColours = in.u8("channel flag") != 0;
        mesh->hasWords = in.u8("channel flag") != 0;
        for (bool& flag : mesh->hasTexture) {
            flag = in.u8("channel flag") != 0;
        }
        uint64_t needed =
            uint64_t(vertexCount) * mesh->vertexBytes() + uint64_t(triangleCount) * 12;
        if (needed > in.remaining()) {
            throw FormatError("mesh of " + std::to_string(vertexCount) + " vertices and " +
                              std::to_string(triangleCount) + " triangles (counts at offset " +
                              std::to_string(triangleAt - 4) + ") needs " + std::to_string(needed) +
                              " bytes, only " + std::to_string(in.remaining()) + " remain");
        }

        size_t v = vertexCount;
        mesh->positions.resize(v * 3);
        if (mesh->hasNormals) {
            mesh->normals.resize(v * 3);
        }
        if (mesh->hasExtra1) {
            mesh->extra1.resize(v * 3);
        }
        if (mesh->hasExtra2) {
            mesh->extra2.resize(v * 3);
        }
        if (mesh->hasColours) {
            mesh->colours.resize(v * 4);
        }
        if (mesh->hasWords) {
            mesh->words.resize(v);
        }
        for (int k = 0; k < 8; ++k) {
            if (mesh->hasTexture[k]) {
                mesh->texture[k].resize(v * 2);
            }
        }
        for (size_t i = 0; i < v; ++i) {
            readFloats(in, &mesh->positions[i * 3], 3, "vertex position");
            if (mesh->hasNormals) {
                size_t at = in.offset();
                float* n = &mesh->normals[i * 3];
                readFloats(in, n, 3, "vertex normal");
                float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                if (!(length >= minNormalLength && length <= maxNormalLength)) {
                    throw FormatError("vertex normal at offset " + std::to_string(at) +
                                      " has length " + std::to_string(length) + ", not near 1");
                }
            }
            if (mesh->hasExtra1) {
                readFloats(in, &mesh->extra1[i * 3], 3, "vertex vector");
            }
            if (mesh->hasExtra2) {
                readFloats(in, &mesh->extra2[i * 3], 3, "vertex vector");
            }
            if (mesh->hasColours) {
                readFloats(in, &mesh->colours[i * 4], 4, "vertex colour");
            }
            if (mesh->hasWords) {
                mesh->words[i] = in.u32("vertex");
            }
            for (int k = 0; k < 8; ++k) {
                if (mesh->hasTexture[k]) {
                    float* uv = &mesh->texture[k][i * 2];
                    readFloats(in, uv, 2, "texture coordinate");
                    uv[1] = -uv[1];
                }
            }
        }
        mesh->indices.resize(size_t(triangleCount) * 3);
        for (uint32_t& index : mesh->indices) {
            size_t at = in.offset();
            index = in.u32("index");
            // OpenGL would read outside the vertex arrays for such an index.
            if (index >= vertexCount) {
                throw FormatError("index " + std::to_string(index) + " at offset " +
                                  std::to_string(at) + " is not below the vertex count " +
                                  std::to_string(vertexCount));
            }
        }
        return mesh;
    }

    ByteReader& in;
    NmdFile& file;
};

} // namespace

size_t NmdMesh::vertexBytes() const {
    size_t bytes = 12;
    bytes += hasNormals ? 12 : 0;
    bytes += hasExtra1 ? 12 : 0;
    bytes += hasExtra2 ? 12 : 0;
    bytes += hasColours ? 16 : 0;
    bytes += hasWords ? 4 : 0;
    for (bool flag : hasTexture) {
        bytes += flag ? 8 : 0;
    }
    return bytes;
}

bool NmdFile::read(const unsigned char* data, size_t size) {
    error.clear();
    unreadBytes = 0;
    materials.clear();
    nodes.clear();
    if (size < sizeof tag || memcmp(data, tag, sizeof tag) != 0) {
        error = nmdUnknownTagError;
        return false;
    }
    try {
        ByteReader in(data, size);
        in.bytes(sizeof tag, "file tag");
        uint32_t materialCount = in.count("material count", minMaterialBytes);
        materials.reserve(materialCount);
        for (uint32_t m = 0; m < materialCount; ++m) {
            auto material = std::make_unique<NmdMaterial>();
            readMaterial(in, *material);
            materials.push_back(std::move(material));
        }
        uint32_t nodeCount = in.count("node count", minNodeBytes);
        nodes.reserve(nodeCount);
        Reader reader(in, *this);
        for (uint32_t n = 0; n < nodeCount; ++n) {
            nodes.push_back(reader.node(0));
        }
        unreadBytes = in.remaining();
    } catch (const FormatError& damage) {
        error = damage.what();
        nodes.clear();
        materials.clear();
        return false;
    }
    return true;
}

bool NmdFile::readFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes, error)) {
        materials.clear();
        nodes.clear();
        return false;
    }
    return read(bytes.data(), bytes.size());
}

namespace {

class Writer {
public:
    explicit Writer(std::string& error_) : error(error_) {}

    bool node(const NmdNode& node, int depth) {
        if (depth > nmdMaxDepth) {
            return fail("nodes nested deeper than " + std::to_string(nmdMaxDepth) + " levels");
        }
        out.u32(node.type);
        switch (node.type) {
        case NmdNodeType::Plain:
        case NmdNodeType::Plain4:
            break;
        case NmdNodeType::Mesh:
            if (!node.mesh) {
                return fail("mesh node \"" + node.name + "\" has no mesh");
            }
            if (!mesh(*node.mesh, node.name)) {
                return false;
            }
            break;
        case NmdNodeType::Extra2:
            for (uint32_t value : node.extra.first) {
                out.u32(value);
            }
            for (uint32_t value : node.extra.second) {
                out.u32(value);
            }
            out.u8(node.extra.flags[0]);
            out.u8(node.extra.flags[1]);
            out.u32(node.extra.last);
            break;
        case NmdNodeType::Extra3:
            out.string(node.extra.text);
            for (uint32_t value : node.extra.first) {
                out.u32(value);
            }
            break;
        default:
            return fail("node \"" + node.name + "\" has unknown type " + std::to_string(node.type));
        }
        out.string(node.name);
        floats(node.position, 3);
        floats(node.rotation, 4);
        floats(node.scale, 3);
        out.u32(static_cast<uint32_t>(node.positionKeys.size()));
        out.u32(static_cast<uint32_t>(node.rotationKeys.size()));
        out.u32(static_cast<uint32_t>(node.scaleKeys.size()));
        for (const NmdVectorKey& key : node.positionKeys) {
            floats(key.value, 3);
            out.f32(key.time);
        }
        for (const NmdRotationKey& key : node.rotationKeys) {
            floats(key.value, 4);
            out.f32(key.time);
        }
        for (const NmdVectorKey& key : node.scaleKeys) {
            floats(key.value, 3);
            out.f32(key.time);
        }
        out.u32(static_cast<uint32_t>(node.children.size()));
        for (const auto& child : node.children) {
            if (!child) {
                return fail("node \"" + node.name + "\" has an empty child");
            }
            if (!this->node(*child, depth + 1)) {
                return false;
            }
        }
        return true;
    }

    void floats(const float* values, int n) {
        for (int i = 0; i < n; ++i) {
            out.f32(values[i]);
        }
    }

    bool fail(const std::string& reason) {
        error = reason;
        return false;
    }

    ByteWriter out;

private:
    bool channel(const std::vector<float>& values, bool present, size_t perVertex, size_t vertices,
                 const char* what, const std::string& owner) {
        size_t expected = present ? perVertex * vertices : 0;
        if (values.size() != expected) {
            return fail("mesh \"" + owner + "\": " + what + " holds " +
                        std::to_string(values.size()) + " values, " + std::to_string(expected) +
                        " expected");
        }
        return true;
    }

    bool mesh(const NmdMesh& mesh, const std::string& owner) {
        if (mesh.positions.size() % 3 != 0) {
            return fail("mesh \"" + owner + "\": position count is not a multiple of 3");
        }
        size_t v = mesh.vertexCount();
        bool ok = channel(mesh.normals, mesh.hasNormals, 3, v, "normals", owner) &&
                  channel(mesh.extra1, mesh.hasExtra1, 3, v, "extra vector 1", owner) &&
                  channel(mesh.extra2, mesh.hasExtra2, 3, v, "extra vector 2", owner) &&
                  channel(mesh.colours, mesh.hasColours, 4, v, "colours", owner);
        for (int k = 0; ok && k < 8; ++k) {
            ok = channel(mesh.texture[k], mesh.hasTexture[k], 2, v, "a texture channel", owner);
        }
        if (!ok) {
            return false;
        }
        if (mesh.words.size() != (mesh.hasWords ? v : 0)) {
            return fail("mesh \"" + owner + "\": per-vertex words do not match the vertex count");
        }
        if (mesh.indices.size() % 3 != 0) {
            return fail("mesh \"" + owner + "\": index count is not a multiple of 3");
        }
        for (uint32_t index : mesh.indices) {
            if (index >= v) {
                return fail("mesh \"" + owner + "\": index " + std::to_string(index) +
                            " is not below the vertex count " + std::to_string(v));
            }
        }

        out.string(mesh.materialName);
        out.u32(static_cast<uint32_t>(v));
        out.u32(static_cast<uint32_t>(mesh.triangleCount()));
        out.u8(mesh.hasNormals);
        out.u8(mesh.hasExtra1);
        out.u8(mesh.hasExtra2);
        out.u8(mesh.hasColours);
        out.u8(mesh.hasWords);
        for (bool flag : mesh.hasTexture) {
            out.u8(flag);
        }
        for (size_t i = 0; i < v; ++i) {
            floats(&mesh.positions[i * 3], 3);
            if (mesh.hasNormals) {
                floats(&mesh.normals[i * 3], 3);
            }
            if (mesh.hasExtra1) {
                floats(&mesh.extra1[i * 3], 3);
            }
            if (mesh.hasExtra2) {
                floats(&mesh.extra2[i * 3], 3);
            }
            if (mesh.hasColours) {
                floats(&mesh.colours[i * 4], 4);
            }
            if (mesh.hasWords) {
                out.u32(mesh.words[i]);
            }
            for (int k = 0; k < 8; ++k) {
                if (mesh.hasTexture[k]) {
                    out.f32(mesh.texture[k][i * 2]);
                    out.f32(-mesh.texture[k][i * 2 + 1]);
                }
            }
        }
        for (uint32_t index : mesh.indices) {
            out.u32(index);
        }
        return true;
    }

    std::string& error;
};

} // namespace

bool encodeNmd(const NmdFile& model, std::vector<unsigned char>& bytes, std::string& error) {
    Writer writer(error);
    writer.out.raw(tag, sizeof tag);
    writer.out.u32(static_cast<uint32_t>(model.materials.size()));
    for (const auto& material : model.materials) {
        if (!material) {
            return writer.fail("empty material entry");
        }
        writer.out.string(material->name);
        for (const std::string& map : material->maps) {
            writer.out.string(map);
        }
        writer.floats(material->values, 15);
    }
    writer.out.u32(static_cast<uint32_t>(model.nodes.size()));
    for (const auto& node : model.nodes) {
        if (!node) {
            return writer.fail("empty node entry");
        }
        if (!writer.node(*node, 0)) {
            return false;
        }
    }
    bytes = std::move(writer.out.bytes);
    return true;
}

bool writeNmdFile(const std::string& path, const NmdFile& model, std::string& error) {
    std::vector<unsigned char> bytes;
    return encodeNmd(model, bytes, error) && writeFileBytes(path, bytes, error);
}
