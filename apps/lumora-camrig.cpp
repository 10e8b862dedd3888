// The camera editor: plays the production in a window while a gamepad flies the
// camera, places keys and scrubs the music; S or L with F1 .. F8 save or load
// the banks "data/tracks/1.crg" .. "data/tracks/8.crg".
#include "platform/Fatal.h"
#include "platform/ProgramFolder.h"
#include "production/MeridianDemo.h"

namespace {

int edit(int, char**) {
    changeToProgramFolder();
    MeridianDemo demo(true);
    demo.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return runGuarded("Camrig", edit, argc, argv);
}
