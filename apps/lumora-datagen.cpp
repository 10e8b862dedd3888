#include "content/DataGenerator.h"
#include "content/OutputFolder.h"

#include <cstdio>
#include <iostream>

// lumora-datagen OUTDIR: writes OUTDIR/data/... and OUTDIR/Lumora/..., the same
// bytes on every run.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    try {
        generateDataFolder(argv[1], std::cout);
    } catch (const ContentError& error) {
        std::fprintf(stderr, "lumora-datagen: %s\n", error.what());
        return 1;
    }
    return 0;
}
