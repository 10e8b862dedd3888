#include "GeneratedFolder.h"

#include "support/GlTest.h"

#include <fstream>
#include <iterator>
#include <memory>

const GeneratedFolder& generatedFolder() {
    static std::unique_ptr<TempDir> folder;
    static GeneratedFolder result;
    if (!folder) {
        folder = std::make_unique<TempDir>();
        result.path = folder->path();
        result.exitStatus =
            runCommand(stageProgram("lumora-datagen") + " " + result.path, &result.output);
    }
    return result;
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
