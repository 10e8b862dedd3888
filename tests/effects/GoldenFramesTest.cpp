// Every scene's look, guarded by golden frames: the frames of the whole demo at
// chosen times, rendered in one run of lumora-capture (one load, frames reached
// by its seek) and compared at half size with the pictures in
// tests/effects/golden/. After a deliberate change of the look,
// LUMORA_UPDATE_GOLDEN=1 writes all of them anew; that run fails on purpose, so
// that no run with it set can pass a changed picture unnoticed.
#include "support/GoldenFrames.h"
#include "core/Capture.h"
#include "support/GlTest.h"

#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <set>

namespace {

// Times on the 30 fps grid, inside every scene's slot and right after every
// cut, and where a scene switches what it draws. Each scene is seen where its
// moving parts are on screen.
struct GoldenTime {
    double seconds;
    const char* shows;
};
const GoldenTime goldenTimes[] = {
    // The opening sea: fading in, the logo, fading out, the title fading in.
    {1.0, "opening sea fading in from black"},
    {2.5, "opening sea half faded in"},
    {10.0, "the logo over the sea"},
    {12.5, "the logo fading out"},
    {14.0, "the title fading in"},
    {14.5, "the title half faded in"},
    {20.0, "the title over the sea"},
    {25.5, "the last frames of the opening sea"},
    // The city: trails, figures, clouds overhead, the climb into the clouds.
    {25.6, "the city right after the cut"},
    {28.0, "the city's trails near the camera"},
    {32.1, "the tail of the first trail"},
    {37.0, "the city's figures in the streets"},
    {41.0, "trails and figures together"},
    {48.5, "late in the city: the trails rise into the sky"},
    {49.7, "the city's last frames, inside the clouds"},
    // The clouds and the growing flower.
    {49.8, "the clouds right after the cut"},
    {53.0, "the flower's first heads"},
    {58.0, "the flower in full growth"},
    {66.0, "the flower's leaves curling out"},
    {75.0, "the flower under the sun"},
    {82.5, "the last frames of the clouds"},
    // The second sea with the flower on its own clock.
    {82.6, "the second sea right after the cut"},
    {87.0, "the flower at the end of its loop"},
    {94.0, "the second sea mid-slot"},
    {99.5, "the flower's loop half way"},
    {105.0, "a flower head close to the camera"},
    // The greetings: rings, names popping letter after letter.
    {106.6, "the greetings right after the cut, the view still widening"},
    {110.0, "between the first and the second name"},
    {114.0, "a letter of the third name popping"},
    {118.5, "the short name popping"},
    {124.0, "a letter of the seventh name popping"},
    {130.5, "the rings after the last name"},
    // The planet, its clouds, and the snow from local time 12 on.
    {130.6, "the planet right after the cut"},
    {136.0, "the planet turning"},
    {142.5, "the last frame before the snow"},
    {143.0, "the snow's first half second"},
    {150.0, "the snow climbing"},
    {154.5, "the last frames of the planet"},
    // The metaballs: tunnel, tube, glow; the rings wobble from 166.5 s on.
    {154.6, "the metaballs right after the cut"},
    {157.6, "a stretch of the tube close by"},
    {160.0, "the tori and the tube"},
    {162.6, "both stretches of the tube"},
    {166.4, "the last frame of the plain rings"},
    {166.6, "the rings' first wobble"},
    {170.6, "the background between the cities"},
    {172.0, "wobbling rings in the tunnel"},
    {177.9, "the last frames of the metaballs"},
    // The closing sea: over the metaballs' last half second, then fading out.
    {178.1, "the closing sea over the metaballs' last frames"},
    {178.6, "the closing sea alone"},
    {184.0, "the end picture over the sea"},
    {186.4, "the last frames before the fade"},
    {187.5, "the closing sea fading out"},
    {189.5, "the closing sea nearly black"},
};

// Calibrated against llvmpipe on other processors (simulated with 128-bit
// vectors, and without AVX and FMA): their frames differ from these by a step
// of eight bits on a few tenths of a per cent of the pixels, and by more than 8
// on at most 0.014 %. Slips in a render step move more than 0.1 %; many move a
// wide area by less than 16.
constexpr int changedBy = 8;
constexpr double changedShare = 0.001;

std::string goldenFolder() {
    return std::string(LUMORA_SOURCE_DIR) + "/tests/effects/golden";
}

TEST(GoldenFramesTest, EveryScenesFramesMatchTheirGoldenPictures) {
    const bool update = getenv("LUMORA_UPDATE_GOLDEN") != nullptr;
    TempDir folder;
    std::string at;
    for (const GoldenTime& time : goldenTimes) {
        at += " --at " + std::to_string(time.seconds);
    }
    std::string output;
    ASSERT_EQ(runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                             stageProgram("lumora-capture") + " --quiet --out " + folder.path() +
                             at,
                         &output),
              0)
        << output;

    // What a failure leaves for a person to open; last run's leftovers go first.
    const std::string failures = std::string(LUMORA_BINARY_DIR) + "/golden-failures";
    std::filesystem::remove_all(failures);

    std::set<std::string> names;
    for (const GoldenTime& time : goldenTimes) {
        const std::string name = atFileName(time.seconds);
        names.insert(name);
        std::string error;
        const RgbPicture frame = readRgbPicture(folder.file(name), error);
        ASSERT_EQ(frame.width, 800) << name << ": " << error;
        ASSERT_EQ(frame.height, 600) << name;
        const RgbPicture half = halfSize(frame);
        const std::string golden = goldenFolder() + "/" + name;
        if (update) {
            std::filesystem::create_directories(goldenFolder());
            EXPECT_TRUE(writeRgbPicture(golden, half)) << golden;
            continue;
        }

        const RgbPicture expected = readRgbPicture(golden, error);
        const PictureDifference difference = compareRgb(half, expected, changedBy);
        if (!expected.rgb.empty() && difference.share() <= changedShare) {
            continue;
        }
        std::filesystem::create_directories(failures);
        const std::string shown = failures + "/" + name;
        writeRgbPicture(shown, frame);
        if (expected.rgb.empty()) {
            ADD_FAILURE() << "the frame at " << time.seconds << " s (" << time.shows
                          << ") has no golden picture " << golden << ": " << error
                          << "\n  frame: " << shown;
            continue;
        }
        const std::string marked = shown.substr(0, shown.size() - 4) + "-difference.png";
        writeRgbPicture(marked, differencePicture(half, expected, changedBy));
        ADD_FAILURE() << "the frame at " << time.seconds << " s (" << time.shows
                      << ") differs from " << golden << " in " << std::fixed << std::setprecision(3)
                      << difference.share() * 100.0 << std::defaultfloat
                      << " % of its pixels by more than " << changedBy << ", largest difference "
                      << difference.largest << "\n  frame: " << shown
                      << "\n  difference (half size): " << marked;
    }

    if (update) {
        // Pictures of times no longer in the list go.
        for (const auto& entry : std::filesystem::directory_iterator(goldenFolder())) {
            if (names.count(entry.path().filename().string()) == 0) {
                std::filesystem::remove(entry.path());
            }
        }
        ADD_FAILURE() << "wrote " << names.size() << " golden frames into " << goldenFolder()
                      << "; look at every one, then run again without LUMORA_UPDATE_GOLDEN";
    }
}

// The comparison itself: a guard that always passed would guard nothing.
TEST(GoldenFramesTest, ComparisonCountsPixelsThatMoveBeyondTheThreshold) {
    RgbPicture golden;
    golden.width = 8;
    golden.height = 4;
    golden.rgb.assign(8 * 4 * 3, 100);
    RgbPicture frame = golden;
    // Rounding everywhere, and three pixels changed in one colour each.
    for (unsigned char& v : frame.rgb) {
        v = 102;
    }
    frame.rgb[0] = 200;
    frame.rgb[5 * 3 + 1] = 100 - 17;
    frame.rgb[31 * 3 + 2] = 100 + 17;
    const PictureDifference difference = compareRgb(frame, golden, 16);
    EXPECT_EQ(difference.pixels, 32);
    EXPECT_EQ(difference.changed, 3);
    EXPECT_EQ(difference.largest, 100);
    EXPECT_DOUBLE_EQ(difference.share(), 3.0 / 32.0);
    EXPECT_EQ(compareRgb(frame, golden, 100).changed, 0);

    RgbPicture smaller = golden;
    smaller.width = 4;
    smaller.rgb.resize(4 * 4 * 3);
    EXPECT_EQ(compareRgb(smaller, golden, 16).changed, 32);

    // Halving averages each block of four, rounded to nearest.
    RgbPicture block;
    block.width = 2;
    block.height = 2;
    block.rgb = {0, 10, 255, 1, 10, 255, 0, 11, 255, 1, 11, 254};
    const RgbPicture half = halfSize(block);
    ASSERT_EQ(half.rgb.size(), 3u);
    EXPECT_EQ(half.rgb[0], 1);
    EXPECT_EQ(half.rgb[1], 11);
    EXPECT_EQ(half.rgb[2], 255);
}

} // namespace
