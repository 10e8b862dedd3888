// lumora-datagen OUTDIR: writes OUTDIR/data/... and OUTDIR/Lumora/..., the same
// bytes on every run.
#include "content/DataGenerator.h"
#include "content/OutputFolder.h"
#include "platform/CommandLine.h"

#include <cstdio>
#include <iostream>

namespace {

const ProgramUsage usage = {
    "lumora-datagen",
    "usage: lumora-datagen OUTDIR\n"
    "Writes the demo's data folder: OUTDIR/data/... (pictures, meshes, scenes, shaders,\n"
    "camera bank, soundtrack) and OUTDIR/Lumora/..., the same bytes on every run.\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n"};

} // namespace

int main(int argc, char** argv) {
    std::string outputFolder;
    parseCommandLine(argc, argv, usage, [&] {
        CommandLine line(argc, argv);
        // "--" ends the options, for a folder whose name starts with "-".
        bool operandsOnly = false;
        while (!line.done()) {
            if (!operandsOnly && line.option("--")) {
                operandsOnly = true;
            } else if ((!operandsOnly && line.atOption()) || !outputFolder.empty()) {
                line.refuseNext();
            } else {
                outputFolder = line.take();
            }
        }
        if (outputFolder.empty()) {
            throw UsageError("no output folder given");
        }
    });
    try {
        generateDataFolder(outputFolder, std::cout);
    } catch (const ContentError& error) {
        std::fprintf(stderr, "lumora-datagen: %s\n", error.what());
        return 1;
    }
    return 0;
}
