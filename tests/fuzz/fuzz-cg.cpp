// Feeds arbitrary text to the Cg translator: it must give GLSL or a listing,
// never crash, hang or read outside its input. The first line may name the
// profile and entry ("arbfp1 psMain"); otherwise the fragment profile and
// entry "main" are used.
#include "resources/ShaderContext.h"
#include "resources/cg/Translator.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    int profile = ShaderProfile::Fragment;
    std::string entry = "main";
    size_t newline = text.find('\n');
    std::string first = text.substr(0, newline);
    if (first.compare(0, 7, "arbvp1 ") == 0 || first.compare(0, 7, "arbfp1 ") == 0) {
        profile = first[5] == 'v' ? ShaderProfile::Vertex : ShaderProfile::Fragment;
        entry = first.substr(7);
        text = newline == std::string::npos ? "" : text.substr(newline + 1);
    }
    CgTranslation result = translateCg(text, entry, profile, "fuzz.cg");
    if (result.ok == result.glsl.empty() || (!result.ok && result.listing.empty())) {
        abort();
    }
    return 0;
}
