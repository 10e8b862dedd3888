// Feeds arbitrary bytes to the NMD reader: it must reject or accept without
// reading outside its buffer, and what it accepts must encode and read back.
#include "resources/NmdFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NmdFile file;
    if (!file.read(data, size)) {
        if (file.error.empty() || !file.materials.empty() || !file.nodes.empty()) {
            abort();
        }
        return 0;
    }
    std::vector<unsigned char> bytes;
    std::string error;
    if (!encodeNmd(file, bytes, error)) {
        abort();
    }
    NmdFile again;
    if (!again.read(bytes.data(), bytes.size()) || again.nodes.size() != file.nodes.size()) {
        abort();
    }
    return 0;
}
