#include "content/MeshFiles.h"

#include "content/OutputFolder.h"
#include "resources/EbrFile.h"
#include "resources/NmdFile.h"

#include <cmath>
#include <memory>

std::vector<unsigned char> ebrBytes(const std::string& path,
                                    const std::vector<std::pair<std::string, MeshData>>& parts) {
    std::vector<EbrPart> file;
    for (const auto& [name, mesh] : parts) {
        EbrPart part;
        part.name = name;
        for (size_t i = 0; i < mesh.vertexCount(); ++i) {
            const Vec3& p = mesh.positions[i];
            part.vertices.push_back({p.x, p.y, p.z, mesh.uvs[2 * i], mesh.uvs[2 * i + 1]});
        }
        // The loader's normal of a triangle is (p0 - p1) x (p2 - p1), the opposite
        // of the counter-clockwise one: store every triangle clockwise.
        for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3)
            part.indices.insert(part.indices.end(),
                                {mesh.indices[t], mesh.indices[t + 2], mesh.indices[t + 1]});
        file.push_back(std::move(part));
    }
    std::vector<unsigned char> bytes;
    std::string error;
    if (!encodeEbr(file, bytes, error))
        throw ContentError(path + ": " + error);
    return bytes;
}

namespace {

// The scene applies a node position (x, y, z) as (x, z, -y): store the inverse.
void toFileFrame(const Vec3& drawn, float* file) {
    file[0] = drawn.x;
    file[1] = -drawn.z;
    file[2] = drawn.y;
}

// A turn by angle about the drawing frame's z axis. The scene turns a file
// quaternion (x, y, z, w) by -2 acos(w) about (x, z, -y) / sin, which for
// (0, sin(a/2), 0, cos(a/2)) is a about +z.
void turnInFileFrame(float angle, float* quaternion) {
    quaternion[0] = 0;
    quaternion[1] = std::sin(angle / 2);
    quaternion[2] = 0;
    quaternion[3] = std::cos(angle / 2);
}

std::unique_ptr<NmdNode> meshNode(const NmdSceneNode& scene) {
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = scene.name;
    auto mesh = std::make_unique<NmdMesh>();
    mesh->materialName = scene.material;
    mesh->hasNormals = scene.withNormals;
    mesh->hasTexture[1] = scene.withTexture;
    const MeshData& data = scene.mesh;
    for (size_t i = 0; i < data.vertexCount(); ++i) {
        mesh->positions.insert(mesh->positions.end(),
                               {data.positions[i].x, data.positions[i].y, data.positions[i].z});
        if (scene.withNormals)
            mesh->normals.insert(mesh->normals.end(),
                                 {data.normals[i].x, data.normals[i].y, data.normals[i].z});
        // In memory v is held negated, as the reader leaves it.
        if (scene.withTexture)
            mesh->texture[1].insert(mesh->texture[1].end(),
                                    {data.uvs[2 * i], -data.uvs[2 * i + 1]});
    }
    mesh->indices = data.indices;
    node->mesh = std::move(mesh);

    // Rest transform: where the first key puts the node, or nowhere.
    toFileFrame(scene.positionKeys.empty() ? Vec3() : scene.positionKeys.front().second,
                node->position);
    turnInFileFrame(scene.turnKeys.empty() ? 0.0f : scene.turnKeys.front().second, node->rotation);
    for (const auto& [time, position] : scene.positionKeys) {
        NmdVectorKey key;
        toFileFrame(position, key.value);
        key.time = time;
        node->positionKeys.push_back(key);
    }
    for (const auto& [time, angle] : scene.turnKeys) {
        NmdRotationKey key;
        turnInFileFrame(angle, key.value);
        key.time = time;
        node->rotationKeys.push_back(key);
    }
    return node;
}

} // namespace

std::vector<unsigned char> nmdBytes(const std::string& path,
                                    const std::vector<NmdSceneMaterial>& materials,
                                    const std::vector<NmdSceneNode>& nodes) {
    NmdFile file;
    for (const NmdSceneMaterial& m : materials) {
        auto material = std::make_unique<NmdMaterial>();
        material->name = m.name;
        material->maps[NmdMap::Diffuse] = m.diffuseMap;
        for (int c = 0; c < 3; ++c) {
            material->values[NmdMaterial::Ambient + c] = m.diffuse[c] * 0.3f;
            material->values[NmdMaterial::Diffuse + c] = m.diffuse[c];
            material->values[NmdMaterial::Specular + c] = 0.2f;
        }
        material->values[NmdMaterial::Opacity] = 1.0f;
        material->values[NmdMaterial::Shininess] = 10.0f;
        material->values[NmdMaterial::SpecularLevel] = 0.3f;
        file.materials.push_back(std::move(material));
    }
    for (const NmdSceneNode& node : nodes)
        file.nodes.push_back(meshNode(node));
    std::vector<unsigned char> bytes;
    std::string error;
    if (!encodeNmd(file, bytes, error))
        throw ContentError(path + ": " + error);
    return bytes;
}
