// Feeds arbitrary text to the Cg translator: it must give GLSL or a listing,
// never crash, hang or read outside its input. The first line may name the
// profile and entry ("arbfp1 psMain"); otherwise the fragment profile and
// entry "main" are used. Files are never read: #include "fuzz.cg" includes
// the input itself (guards, cycles), any other name is missing.
#include "platform/ShaderContext.h"
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
    cg::SourceOptions options;
    options.defines = {"FUZZ", "LEVEL=2"};
    options.readFile = [&](const std::string& path, std::string& included, std::string& reason) {
        if (path.size() >= 7 && path.compare(path.size() - 7, 7, "fuzz.cg") == 0) {
            included = text;
            return true;
        }
        reason = "no such file";
        return false;
    };
    CgTranslation result = translateCg(text, entry, profile, "fuzz.cg", options);
    if (result.ok == result.glsl.empty() || (!result.ok && result.listing.empty())) {
        abort();
    }
    return 0;
}
