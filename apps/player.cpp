// The player: plays "Meridian" with its soundtrack, fullscreen at 800 x 600 as
// it was made, or as its options ask. The three player programs differ only in
// LUMORA_SAMPLES, the multisample count they request.
#include "core/PlayerOptions.h"
#include "platform/CommandLine.h"
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

#include <string>

#ifndef LUMORA_SAMPLES
#define LUMORA_SAMPLES 0
#endif
#ifndef LUMORA_PROGRAM
#define LUMORA_PROGRAM "lumora-player"
#endif

namespace {

int play(int argc, char** argv) {
    const std::string usageText = playerUsage(LUMORA_PROGRAM, LUMORA_SAMPLES);
    const ProgramUsage usage = {LUMORA_PROGRAM, usageText.c_str()};
    MeridianDemo demo;
    PlayerOptions options;
    parseCommandLine(argc, argv, usage,
                     [&] { options = readPlayerOptions(argc, argv, demo.length); });
    changeToProgramFolder();
    demo.samples = LUMORA_SAMPLES;
    applyPlayerOptions(options, demo);
    // The process ends right after the demo: a close is not kept waiting while
    // the driver finishes a frame that will never be shown.
    demo.windowEndsWithProcess = true;
    demo.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return runGuarded("Meridian", play, argc, argv);
}
