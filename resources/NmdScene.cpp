#include "resources/NmdScene.h"

#include "platform/EngineError.h"

#include "platform/GlState.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Geometry.h"
#include "resources/Image.h"
#include "resources/NmdAnimation.h"
#include "resources/NmdMaps.h"

#include <cctype>
#include <cstdio>

namespace {

// Compiled for every scene; materials without a program of their own use it.
const char* const defaultProgramSource =
    "sampler2D diffuseMap; struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; }; \t\t\t"
    "v2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { \t\t\t"
    "v2f o; o.pos = mul(glstate.matrix.mvp, pos); \t\t\to.tc = tc; return o; } \t\t\t"
    "float4 psMain(float2 tc: TEXCOORD): COLOR { return tex2D(diffuseMap, tc); }";

// The order in which map slots are rebased and loaded; slot 7 never is.
const int textureSlotOrder[] = {0, 1, 2, 10, 3, 5, 6, 4, 8, 9};

const char* const parameterTable[24] = {
    "ambientMap", "diffuseMap", "specularMap", "bumpMap", "opacityMap", "filterColorMap",
    "glossinessMap", "shininessMap", "reflectionMap", "", "displacementMap", "ambientColor",
    "diffuseColor", "specularColor",
    // Spelt as shader files of the scenes declare it.
    "emissioinColor", "opacity", "shininess", "specularLevel", "cameraPosition", "cameraTarget",
    "cameraFov", "cameraAspect", "cameraNearPlane", "cameraFarPlane"};

// One vertex channel of a mesh: its array, floats per vertex and the slot (also
// the attribute number) it is drawn from.
struct Channel {
    const std::vector<float>* values;
    bool present;
    int components;
    int slot;
};

} // namespace

NmdScene::NmdScene(const std::string& fileName_, bool loadTextures,
                   const std::string& textureFolder)
    : fileName(fileName_) {
    if (!readFile(fileName)) {
        fprintf(stderr, "NMD scene %s: %s\n", fileName.c_str(), error.c_str());
        fflush(stderr);
    }

    defaultVertex = std::make_unique<CgProgram>(defaultProgramSource, "vsMain",
                                                ShaderProfile::Vertex, "NMD scene program");
    assignProgram(defaultVertex.get(), "", vertexPrograms);
    defaultFragment = std::make_unique<CgProgram>(defaultProgramSource, "psMain",
                                                  ShaderProfile::Fragment, "NMD scene program");
    assignProgram(defaultFragment.get(), "", fragmentPrograms);

    if (loadTextures) {
        for (const auto& material : materials) {
            if (!textureFolder.empty()) {
                for (int slot : textureSlotOrder) {
                    material->maps[slot] = rebaseMapName(material->maps[slot], textureFolder);
                }
            }
            for (int slot : textureSlotOrder) {
                loadTexture(material->maps[slot]);
            }
        }
    }

    for (const auto& node : nodes) {
        buildGeometry(*node);
    }
    bounds = animatedBounds(nodes);

    for (int i = 0; i < 24; ++i) {
        parameterNames[i] = parameterTable[i];
    }
}

NmdScene::~NmdScene() = default;

void NmdScene::assignProgram(CgProgram* program, const std::string& materialName,
                             std::map<const NmdMaterial*, CgProgram*>& programs) {
    if (materialName.empty()) {
        for (const auto& material : materials) {
            if (!material->name.empty()) {
                assignProgram(program, material->name, programs);
            }
        }
        return;
    }
    for (const auto& material : materials) {
        if (material->name == materialName) {
            programs[material.get()] = program;
            return;
        }
    }
}

void NmdScene::loadTexture(const std::string& name) {
    if (textures.count(name) != 0 || !isPictureMapName(name)) {
        return;
    }
    Image image(name);
    textures[name] = std::make_unique<Texture>(image, TextureFilter::Mipmapped);
}

void NmdScene::buildGeometry(const NmdNode& node) {
    if (node.mesh) {
        const NmdMesh& mesh = *node.mesh;
        const int vertexCount = static_cast<int>(mesh.vertexCount());
        const Channel channels[] = {
            {&mesh.positions, true, 3, 0},
            {&mesh.normals, mesh.hasNormals, 3, 10},
            {&mesh.extra1, mesh.hasExtra1, 3, 12},
            {&mesh.extra2, mesh.hasExtra2, 3, 13},
            {&mesh.colours, mesh.hasColours, 4, 11},
            {&mesh.texture[1], mesh.hasTexture[1], 2, 2},
            {&mesh.texture[2], mesh.hasTexture[2], 2, 3},
            {&mesh.texture[3], mesh.hasTexture[3], 2, 4},
            {&mesh.texture[4], mesh.hasTexture[4], 2, 5},
            {&mesh.texture[5], mesh.hasTexture[5], 2, 6},
            {&mesh.texture[6], mesh.hasTexture[6], 2, 7},
            {&mesh.texture[7], mesh.hasTexture[7], 2, 8},
        };
        auto geometry = std::make_unique<Geometry>();
        geometry->primitive = 2;
        for (const Channel& channel : channels) {
            if (!channel.present) {
                continue;
            }
            geometry->vertexBuffers[channel.slot] =
                new VertexBuffer(1, &channel.components, vertexCount, BufferUsage::StaticDraw,
                                 channel.values->data());
            geometry->addBinding(channel.slot, 0, channel.slot);
        }
        geometry->indexBuffer = new IndexBuffer(static_cast<int>(mesh.indices.size()),
                                                BufferUsage::StaticDraw, mesh.indices.data());
        geometries[&node] = std::move(geometry);
    }
    for (const auto& child : node.children) {
        buildGeometry(*child);
    }
}

void NmdScene::setCamera(float eyeX, float eyeY, float eyeZ, float targetX, float targetY,
                         float targetZ, float fieldOfView, float aspect, float nearPlane,
                         float farPlane) {
    perspective(fieldOfView, aspect, nearPlane, farPlane);
    lookAt(eyeX, eyeY, eyeZ, targetX, targetY, targetZ, 0.0f, 0.0f, -1.0f);
    const float values[10] = {eyeX,    eyeY,        eyeZ,      targetX,  targetY,
                              targetZ, fieldOfView, nearPlane, farPlane, aspect};
    std::copy(values, values + 10, camera);
}

void NmdScene::render(float t) {
    for (const auto& node : nodes) {
        renderNode(*node, t);
    }
    if (boundMaterial != nullptr) {
        unbindMaterial(*boundMaterial);
        boundMaterial = nullptr;
    }
}

void NmdScene::renderNode(const NmdNode& node, float t) {
    pushMatrix();
    NodeTransform transform = nodeTransformAt(node, t);
    translate(transform.translation[0], transform.translation[1], transform.translation[2]);
    rotate(transform.angleDegrees, transform.axis[0], transform.axis[1], transform.axis[2]);
    scale(transform.scale[0], transform.scale[1], transform.scale[2]);

    if (node.mesh) {
        const NmdMaterial* material = node.mesh->material;
        const bool withPrograms = material != nullptr && useShaders != 0 &&
                                  vertexPrograms.count(material) != 0 &&
                                  fragmentPrograms.count(material) != 0;
        // Binding is the same for every mesh of a material, so a run of them
        // shares one binding; a mesh without programs draws with none bound.
        const NmdMaterial* wanted = withPrograms ? material : nullptr;
        if (wanted != boundMaterial) {
            if (boundMaterial != nullptr) {
                unbindMaterial(*boundMaterial);
            }
            if (wanted != nullptr) {
                bindMaterial(*wanted);
            }
            boundMaterial = wanted;
        }
        auto geometry = geometries.find(&node);
        if (geometry != geometries.end()) {
            geometry->second->draw();
            ++drawCounts.draws;
        }
    }
    for (const auto& child : node.children) {
        renderNode(*child, t);
    }
    popMatrix();
}

const char* NmdScene::parameter(int index) const {
    auto name = parameterNames.find(index);
    return name == parameterNames.end() ? "" : name->second.c_str();
}

void NmdScene::bindMaterial(const NmdMaterial& material) {
    CgProgram* vertex = vertexPrograms.at(&material);
    CgProgram* fragment = fragmentPrograms.at(&material);
    vertex->bind();
    fragment->bind();
    ++drawCounts.materialBinds;
    for (int slot = 0; slot < NmdMap::count; ++slot) {
        if (material.maps[slot].empty()) {
            continue;
        }
        auto texture = textures.find(material.maps[slot]);
        if (texture != textures.end()) {
            drawCounts.textureBinds += fragment->setTexture(parameter(slot), texture->second.get());
        }
    }
    long long& uploads = drawCounts.parameterUploads;
    for (CgProgram* program : {vertex, fragment}) {
        uploads += program->set4fv(parameter(11), material.values + NmdMaterial::Ambient);
        uploads += program->set4fv(parameter(12), material.values + NmdMaterial::Diffuse);
        uploads += program->set4fv(parameter(13), material.values + NmdMaterial::Specular);
        uploads += program->set4fv(parameter(14), material.values + NmdMaterial::Emission);
        uploads += program->set1f(parameter(15), material.values[NmdMaterial::Opacity]);
        uploads += program->set1f(parameter(16), material.values[NmdMaterial::Shininess]);
        uploads += program->set1f(parameter(17), material.values[NmdMaterial::SpecularLevel]);
    }
    for (CgProgram* program : {vertex, fragment}) {
        uploads += program->set4fv(parameter(18), camera + Position);
        uploads += program->set4fv(parameter(19), camera + Target);
        uploads += program->set1f(parameter(20), camera[FieldOfView]);
        uploads += program->set1f(parameter(21), camera[Aspect]);
        uploads += program->set1f(parameter(22), camera[NearPlane]);
        uploads += program->set1f(parameter(23), camera[FarPlane]);
    }
}

void NmdScene::unbindMaterial(const NmdMaterial& material) {
    CgProgram* fragment = fragmentPrograms.at(&material);
    for (int slot = 0; slot < NmdMap::count; ++slot) {
        if (!material.maps[slot].empty()) {
            fragment->disableTexture(parameter(slot));
        }
    }
    vertexPrograms.at(&material)->unbind();
    fragment->unbind();
}

void NmdScene::requireRead() const {
    if (!error.empty()) {
        throw EngineError("NMD scene " + fileName + ": " + error);
    }
}
