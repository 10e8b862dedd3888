// Renders frames, frame sequences, videos and timings of the demo offline.
#include "core/Capture.h"
#include "platform/CommandLine.h"
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

#include <cstdlib>

namespace {

int capture(int argc, char** argv) {
    const ProgramUsage usage = {"lumora-capture", captureUsage};
    answerHelpAndVersion(argc, argv, usage);
    // Relative paths on the command line are the caller's: they are made
    // absolute before the program changes to its own folder.
    MeridianDemo demo;
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, demo.length, options, error)) {
        refuseCommandLine(usage, error);
    }
    // Headless unless the caller chose a video driver.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    changeToProgramFolder();
    return runCapture(demo, options);
}

} // namespace

int main(int argc, char** argv) {
    return runGuarded("lumora-capture", capture, argc, argv);
}
