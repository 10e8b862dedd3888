// The camera editor: plays the production in a window while a gamepad flies the
// camera, places keys and scrubs the music; S or L with F1 .. F8 save or load
// the banks "data/tracks/1.crg" .. "data/tracks/8.crg".
#include "platform/CommandLine.h"
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

namespace {

const ProgramUsage usage = {
    "lumora-camrig",
    "usage: lumora-camrig\n"
    "The camera editor: plays the demo in a window while a game controller flies the\n"
    "camera. Left stick moves, right stick turns, the triggers scrub the music;\n"
    "A adds a key to the camera's position, target and up tracks, B removes it, the\n"
    "pad's left and right change its interpolation, up and down the track shown;\n"
    "X pauses, Y notes the camera position in spermdump.txt, Start quits.\n"
    "S or L with F1 .. F8 saves or loads data/tracks/1.crg .. 8.crg.\n"
    "A missing or damaged data/tracks/1.crg starts the editor with empty tracks.\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n"};

int edit(int argc, char** argv) {
    parseCommandLine(argc, argv, usage, [&] {
        CommandLine line(argc, argv);
        if (!line.done()) {
            line.refuseNext();
        }
    });
    changeToProgramFolder();
    MeridianDemo demo(true);
    demo.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return runGuarded("Camrig", edit, argc, argv);
}
