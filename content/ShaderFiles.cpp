#include "content/ContentGroups.h"
#include "content/OutputFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The shader texts live beside this source in content/shaders/, laid out as in
// the data folder, so they can be edited and diffed as Cg.
std::string shaderFolder() {
    return (std::filesystem::path(__FILE__).parent_path() / "shaders").string();
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ContentError(path + ": cannot read the shader source");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

void writeShaderFiles(OutputFolder& folder) {
    const char* files[] = {"data/meridian.cg", "data/torus.cg", "data/lensFlare.cg",
                           "data/LumoraShaders.cg", "Lumora/LumoraShaders.cg"};
    for (const char* file : files)
        folder.write(file, readText(shaderFolder() + "/" + file));
}
