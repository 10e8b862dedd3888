#include "resources/EbrMesh.h"

#include "platform/EngineError.h"
#include "platform/Fatal.h"
#include "resources/Geometry.h"

EbrMesh::EbrMesh(const std::string& fileName, int vertexUsage, int indexUsage) {
    std::vector<EbrPart> source;
    std::string error;
    if (!readEbrFile(fileName, source, error)) {
        fatalError("EBR mesh", fileName + ": " + error);
    }
    build(source, vertexUsage, indexUsage);
}

EbrMesh::EbrMesh(const std::vector<EbrPart>& source, int vertexUsage, int indexUsage) {
    build(source, vertexUsage, indexUsage);
}

EbrMesh::~EbrMesh() = default;

void EbrMesh::build(const std::vector<EbrPart>& source, int vertexUsage, int indexUsage) {
    static const int components[3] = {3, 3, 2};
    std::vector<float> records;
    for (const EbrPart& part : source) {
        size_t vertexCount = part.vertices.size();
        for (uint32_t index : part.indices) {
            if (index >= vertexCount) {
                throw EngineError("EBR part \"" + part.name + "\": index " + std::to_string(index) +
                                  " is not below the vertex count " + std::to_string(vertexCount));
            }
        }
        // The records are complete before upload, so buffer objects need no map.
        ebrVertexRecords(part, records);

        auto geometry = std::make_unique<Geometry>();
        geometry->vertexBuffers[0] = new VertexBuffer(3, components, static_cast<int>(vertexCount),
                                                      vertexUsage, records.data());
        geometry->indexBuffer =
            new IndexBuffer(static_cast<int>(part.indices.size()), indexUsage, part.indices.data());
        geometry->primitive = 2;
        geometry->addBinding(0, 0, 0);
        geometry->addBinding(0, 1, 10);
        geometry->addBinding(0, 2, 1);
        parts.push_back(std::move(geometry));
    }
}
