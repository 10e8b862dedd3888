// Renders frames, frame sequences, videos and timings of the demo offline.
#include "core/Capture.h"
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int capture(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            fputs(captureUsage, stdout);
            return 0;
        }
    }
    // Relative paths on the command line are the caller's: they are made
    // absolute before the program changes to its own folder.
    MeridianDemo demo;
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, demo.length, options, error)) {
        fprintf(stderr, "lumora-capture: %s\n%s", error.c_str(), captureUsage);
        return 2;
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
