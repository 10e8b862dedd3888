// The player: plays "Meridian" fullscreen with its soundtrack. The three player
// programs differ only in LUMORA_SAMPLES, the multisample count they request.
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

#ifndef LUMORA_SAMPLES
#define LUMORA_SAMPLES 0
#endif

namespace {

int play(int, char**) {
    changeToProgramFolder();
    MeridianDemo demo;
    demo.samples = LUMORA_SAMPLES;
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
