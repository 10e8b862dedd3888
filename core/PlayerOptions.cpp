#include "core/PlayerOptions.h"

#include "core/Demo.h"
#include "platform/CommandLine.h"

#include <cstdio>

namespace {

// The largest window or display mode asked for: 8K and a little more.
constexpr int maxSide = 8192;

} // namespace

std::string playerUsage(const std::string& program, int samples) {
    char defaultSamples[128];
    snprintf(defaultSamples, sizeof defaultSamples, "%d%s", samples,
             samples == 0 ? ": the driver's\n                    smallest multisample format" : "");
    return "usage: " + program +
           " [--window] [--size WxH] [--native] [--start SECONDS] [--samples N] [--mute]\n"
           "Plays Meridian with its soundtrack; without options fullscreen at 800 x 600, as\n"
           "it was made. ESC ends it.\n"
           "  --window          a window instead of fullscreen, 800x600 unless --size says\n"
           "                    otherwise; it may be resized\n"
           "  --size WxH        the window's size, or the display mode to switch to when\n"
           "                    fullscreen (16 to 8192 pixels a side)\n"
           "  --native          fullscreen at the desktop's own resolution, without\n"
           "                    switching the display\n"
           "  --start SECONDS   start that far into the demo, picture and music together\n"
           "  --samples N       multisample samples, 0 to 16 (default " +
           defaultSamples +
           ")\n"
           "  --mute            play without sound (the music still keeps the time)\n"
           "  --help            print this and exit\n"
           "  --version         print the version and exit\n"
           "With --window, --size or --native the picture is drawn at the window's own\n"
           "resolution, 4:3 and centred, with black bars where the window's shape differs.\n";
}

PlayerOptions readPlayerOptions(int argc, char** argv, float length) {
    PlayerOptions options;
    bool sized = false;
    CommandLine line(argc, argv);
    while (!line.done()) {
        if (line.option("--window")) {
            options.window = true;
        } else if (line.option("--native")) {
            options.native = true;
        } else if (line.option("--size")) {
            line.size("--size", 16, maxSide, options.width, options.height);
            sized = true;
        } else if (line.option("--start")) {
            options.start = line.number("--start", -1e300, 1e300);
            if (options.start < 0.0 || static_cast<float>(options.start) >= length) {
                char range[96];
                snprintf(range, sizeof range, "--start %g lies outside the demo (0 to %.2f s)",
                         options.start, length);
                throw UsageError(range);
            }
        } else if (line.option("--samples")) {
            options.samples = static_cast<int>(line.integer("--samples", 0, 16));
        } else if (line.option("--mute")) {
            options.mute = true;
        } else {
            line.refuseNext();
        }
    }
    if (options.native && options.window) {
        throw UsageError("--native is fullscreen: it does not go with --window");
    }
    if (options.native && sized) {
        throw UsageError("--native takes the desktop's size: it does not go with --size");
    }
    return options;
}

void applyPlayerOptions(const PlayerOptions& options, Demo& demo) {
    if (options.window) {
        demo.fullscreen = 0;
        demo.layout.resizable = true;
    }
    demo.layout.native = options.native;
    demo.layout.width = options.width;
    demo.layout.height = options.height;
    demo.clockStart = static_cast<float>(options.start);
    if (options.samples >= 0) {
        demo.samples = options.samples;
    }
    if (options.mute) {
        demo.volume = 0.0f;
    }
}
