// Feeds arbitrary bytes to the EBR reader and the normal computation the mesh
// runs on what it reads.
#include "resources/EbrFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<EbrPart> parts;
    std::string error;
    if (!readEbr(data, size, parts, error)) {
        if (error.empty() || !parts.empty()) {
            abort();
        }
        return 0;
    }
    std::vector<float> records;
    for (const EbrPart& part : parts) {
        records.assign(part.vertices.size() * 8, 0.0f);
        for (size_t i = 0; i < part.vertices.size(); ++i) {
            records[i * 8] = part.vertices[i].x;
            records[i * 8 + 1] = part.vertices[i].y;
            records[i * 8 + 2] = part.vertices[i].z;
        }
        computeSmoothNormals(records.data(), 8, part.vertices.size(), part.indices.data(),
                             part.indices.size(), true);
    }
    std::vector<unsigned char> bytes;
    if (!encodeEbr(parts, bytes, error)) {
        abort();
    }
    return 0;
}
