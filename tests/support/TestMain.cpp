// The entry of every test program: tests run headless, and under the sanitizers
// they and the programs they start skip the leaks of libraries we do not own.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LSAN_OPTIONS", "suppressions=" LUMORA_SOURCE_DIR "/cmake/lsan-suppressions.txt", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#if defined(__SANITIZE_ADDRESS__)
// The test program itself reads its suppressions from here: LeakSanitizer reads
// LSAN_OPTIONS before main runs.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
