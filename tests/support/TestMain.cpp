// The entry of every test program: tests run headless, and under the sanitizers
// they and the programs they start skip the leaks of libraries we do not own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#define LUMORA_LEAK_SUPPRESSIONS LUMORA_SOURCE_DIR "/cmake/lsan-suppressions.txt"

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LSAN_OPTIONS", "suppressions=" LUMORA_LEAK_SUPPRESSIONS, 0);
    // The programs the tests start close their window at the end, which unloads
    // Mesa's driver: its leftovers then have no module to be suppressed by. They
    // are still checked for memory errors; their code runs leak-checked in the
    // test programs themselves.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#if defined(__SANITIZE_ADDRESS__)
// The test program's own suppressions: LeakSanitizer reads LSAN_OPTIONS before
// main runs, so it takes the same file from here.
extern "C" const char* __lsan_default_suppressions() {
    static char text[4096];
    if (FILE* file = fopen(LUMORA_LEAK_SUPPRESSIONS, "r")) {
        size_t n = fread(text, 1, sizeof text - 1, file);
        text[n] = '\0';
        fclose(file);
    }
    return text;
}
#endif
