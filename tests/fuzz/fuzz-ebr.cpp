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
        ebrVertexRecords(part, records);
    }
    std::vector<unsigned char> bytes;
    if (!encodeEbr(parts, bytes, error)) {
        abort();
    }
    return 0;
}
