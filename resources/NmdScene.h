#pragma once

#include "resources/NmdAnimation.h"
#include "resources/NmdFile.h"

#include <map>
#include <memory>
#include <string>

class CgProgram;
class Geometry;
class Texture;

// An NMD file made drawable: map textures loaded, one Geometry per mesh node,
// a vertex and a fragment program for every named material with its parameters
// taken from the material and the camera, and the node tree animated from its
// key tracks. A file that cannot be read leaves the error text set and a scene
// that draws nothing (and says so on standard error).
class NmdScene : public NmdFile {
public:
    // With loadTextures, the map names of every material are moved into
    // textureFolder (when not empty) and their .jpg and .png files loaded.
    NmdScene(const std::string& fileName, bool loadTextures, const std::string& textureFolder);
    ~NmdScene();
    NmdScene(const NmdScene&) = delete;
    NmdScene& operator=(const NmdScene&) = delete;

    // Sets the projection and a look-at with up (0, 0, -1), and keeps the values
    // for the materials' camera parameters.
    void setCamera(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
                   float fieldOfView, float aspect, float nearPlane, float farPlane);
    // Draws every top-level node at time t (seconds) into the current modelview.
    // A material stays bound over a run of meshes that share it; none is left
    // bound at the end.
    void render(float t);

    // A scene that could not be read keeps its error and draws nothing. Where a
    // picture depends on it, that is a broken frame, not a fallback: this
    // raises an EngineError naming the file and the reason.
    void requireRead() const;
    std::string fileName;

    // The GL work of drawing, counted since the caller last reset it: meshes
    // drawn, materials bound (a vertex and a fragment program each), textures
    // bound and parameter values uploaded to the programs.
    struct DrawCounts {
        long long draws = 0;
        long long materialBinds = 0;
        long long textureBinds = 0;
        long long parameterUploads = 0;
    };
    DrawCounts drawCounts;

    // Where each camera value is kept in `camera`; parameters read four floats
    // from the position and the target.
    static constexpr int Position = 0, Target = 3, FieldOfView = 6, NearPlane = 7, FarPlane = 8,
                         Aspect = 9;

    std::map<std::string, std::unique_ptr<Texture>> textures;
    std::map<const NmdMaterial*, CgProgram*> vertexPrograms;
    std::map<const NmdMaterial*, CgProgram*> fragmentPrograms;
    std::map<int, std::string> parameterNames;
    std::map<const NmdNode*, std::unique_ptr<Geometry>> geometries;
    float camera[10] = {};
    // Where render can draw at any time, in the frame it draws into: lets an
    // owner skip a copy of the scene that lies wholly outside its view.
    NmdBounds bounds = {};
    // When 0 the scene binds no material programs and draws with whatever the
    // caller has bound.
    unsigned char useShaders = 1;

private:
    void assignProgram(CgProgram* program, const std::string& materialName,
                       std::map<const NmdMaterial*, CgProgram*>& programs);
    void loadTexture(const std::string& name);
    void buildGeometry(const NmdNode& node);
    void renderNode(const NmdNode& node, float t);
    void bindMaterial(const NmdMaterial& material);
    void unbindMaterial(const NmdMaterial& material);
    const char* parameter(int index) const;

    // The material whose programs are bound during render, if any.
    const NmdMaterial* boundMaterial = nullptr;
    std::unique_ptr<CgProgram> defaultVertex;
    std::unique_ptr<CgProgram> defaultFragment;
};
