#pragma once

#include "content/MeshData.h"

#include <string>
#include <utility>
#include <vector>

// The bytes of an EBR file of named parts (position and one texture coordinate;
// the loader derives normals from the winding). path names the file in errors.
std::vector<unsigned char> ebrBytes(const std::string& path,
                                    const std::vector<std::pair<std::string, MeshData>>& parts);

// What the generator puts into an NMD scene: materials with a diffuse picture,
// and top-level mesh nodes, each optionally animated.
struct NmdSceneMaterial {
    std::string name;
    std::string diffuseMap; // as the authoring tool stored it; the scene rebases it
    float diffuse[3] = {1, 1, 1};
};

struct NmdSceneNode {
    std::string name;
    std::string material; // empty: no material
    MeshData mesh;
    bool withNormals = true;
    bool withTexture = true; // on texture channel 1, the one the scene draws with
    // Keys in the drawing frame (the writer converts to the file's frame).
    std::vector<std::pair<float, Vec3>> positionKeys;
    // Turns about the drawing frame's z axis, radians.
    std::vector<std::pair<float, float>> turnKeys;
};

std::vector<unsigned char> nmdBytes(const std::string& path,
                                    const std::vector<NmdSceneMaterial>& materials,
                                    const std::vector<NmdSceneNode>& nodes);
