#include "GeneratedFolder.h"

#include "support/GlTest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// What the generator's output depends on: its program and the shader texts it
// copies. Two runs with the same key give the same bytes, so ctest's one
// process per test can share one run.
std::string runKey(const std::string& program) {
    std::ostringstream key;
    auto stamp = [&](const fs::path& file) {
        struct stat info {};
        if (stat(file.c_str(), &info) == 0)
            key << file.string() << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec << '.'
                << info.st_mtim.tv_nsec << '\n';
    };
    stamp(program);
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(LUMORA_SOURCE_DIR) / "content" / "shaders"))
        if (entry.is_regular_file())
            stamp(entry.path());
    return key.str();
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

GeneratedFolder readRun(const fs::path& folder) {
    GeneratedFolder run;
    run.path = (folder / "out").string();
    run.exitStatus = std::stoi(readText(folder / "status"));
    run.output = readText(folder / "output");
    return run;
}

GeneratedFolder shareOneRun() {
    const std::string program = stageProgram("lumora-datagen");
    const std::string key = runKey(program);
    const fs::path shared = fs::path(LUMORA_BINARY_DIR) / "tests" / "content-run";
    std::error_code ignored;
    if (readText(shared / "key") == key)
        return readRun(shared);

    // Run into a folder of our own, then move it into place in one step; a test
    // running beside this one may have done the same first.
    const fs::path mine = shared.string() + ".tmp" + std::to_string(getpid());
    fs::remove_all(mine, ignored);
    fs::create_directories(mine / "out");
    std::string output;
    const int status = runCommand(program + " " + (mine / "out").string(), &output);
    writeText(mine / "output", output);
    writeText(mine / "status", std::to_string(status));
    writeText(mine / "key", key);
    if (readText(shared / "key") != key)
        fs::remove_all(shared, ignored);
    fs::rename(mine, shared, ignored);
    if (readText(shared / "key") == key) {
        fs::remove_all(mine, ignored);
        return readRun(shared);
    }
    return readRun(mine);
}

} // namespace

const GeneratedFolder& generatedFolder() {
    static const GeneratedFolder run = shareOneRun();
    return run;
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
const std::vector<ExpectedFile>& expectedFiles() {
    static const std::vector<ExpectedFile> files = {
        {"data/flare/bgenv.jpg", FileKind::ColourJpeg},
        {"data/flare/bgenv2.jpg", FileKind::ColourJpeg},
        {"data/waterbump.jpg", FileKind::ColourJpeg},
        {"data/flare/flare0.jpg", FileKind::ColourJpeg},
        {"data/flare/flare1.jpg", FileKind::ColourJpeg},
        {"data/flare/flare2.jpg", FileKind::ColourJpeg},
        {"data/flare/flare3.jpg", FileKind::ColourJpeg},
        {"data/flare/flare4.jpg", FileKind::ColourJpeg},
        {"data/flare/bg.jpg", FileKind::ColourJpeg},
        {"data/meridiantypo/logo.png", FileKind::AlphaPng},
        {"data/meridiantypo/title.png", FileKind::AlphaPng},
        {"data/meridiantypo/end.png", FileKind::AlphaPng},
        {"data/meridian.cg", FileKind::Text},
        {"data/torus.cg", FileKind::Text},
        {"data/lensFlare.cg", FileKind::Text},
        {"data/LumoraShaders.cg", FileKind::Text},
        {"Lumora/LumoraShaders.cg", FileKind::Text},
        {"data/music.mp3", FileKind::Binary},
        {"data/tracks/1.crg", FileKind::Binary},
        {"data/letters/A.jpg", FileKind::ColourJpeg},
        {"data/letters/M.jpg", FileKind::ColourJpeg},
        {"data/letters/Z.jpg", FileKind::ColourJpeg},
        {"data/jall.png", FileKind::AlphaPng},
        {"data/ring.jpg", FileKind::ColourJpeg},
        {"data/ringenv.jpg", FileKind::ColourJpeg},
        {"data/mooooo.jpg", FileKind::ColourJpeg},
        {"data/cloud.png", FileKind::AlphaPng},
        {"data/snow.png", FileKind::AlphaPng},
        {"data/city/man.png", FileKind::AlphaPng},
        {"data/leaf.jpg", FileKind::ColourJpeg},
        {"data/flowerhead.png", FileKind::AlphaPng},
        {"data/cylcity.jpg", FileKind::ColourJpeg},
        {"data/bumpmap.jpg", FileKind::ColourJpeg},
        {"data/metal.jpg", FileKind::ColourJpeg},
        {"data/ring.nmd", FileKind::Binary},
        {"data/leaf.ebr", FileKind::Binary},
        {"data/flowerhead.ebr", FileKind::Binary},
        {"data/cylcity.nmd", FileKind::Binary},
        {"data/planet.nmd", FileKind::Binary},
        {"data/watersphere.nmd", FileKind::Binary},
        {"data/citymaps/city.nmd", FileKind::Binary},
        {"data/planetsurface.jpg", FileKind::ColourJpeg},
        {"data/moon.jpg", FileKind::ColourJpeg},
        {"data/citymaps/facade.jpg", FileKind::ColourJpeg},
        {"data/citymaps/ground.jpg", FileKind::ColourJpeg},
    };
    return files;
}
