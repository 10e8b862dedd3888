#pragma once

#include "resources/EbrFile.h"

#include <memory>
#include <string>
#include <vector>

class Geometry;

// An EBR file made drawable: one Geometry per part, each with one vertex buffer
// of interleaved position, normal and texture coordinate (v negated, to match
// top-row-first textures), smooth normals, and the bindings position -> vertex
// array, normal -> normal array, texture coordinate -> texture unit 0.
class EbrMesh {
public:
    // A file that cannot be read or is damaged ends the program with its name and
    // the reason: nothing defines a mesh for such a file.
    EbrMesh(const std::string& fileName, int vertexUsage, int indexUsage);
    EbrMesh(const std::vector<EbrPart>& parts, int vertexUsage, int indexUsage);
    ~EbrMesh();
    EbrMesh(const EbrMesh&) = delete;
    EbrMesh& operator=(const EbrMesh&) = delete;

    int partCount() const { return static_cast<int>(parts.size()); }
    Geometry* part(int index) const { return parts.at(index).get(); }

private:
    void build(const std::vector<EbrPart>& source, int vertexUsage, int indexUsage);
    std::vector<std::unique_ptr<Geometry>> parts;
};
