#include "core/Demo.h"
#include "core/Music.h"

#include "support/GlTest.h"
#include "support/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double binHz = 44100.0 / 512.0;

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Waits until the clock passes target; a loaded machine may starve the audio
// thread for a while, so this polls instead of trusting one fixed delay.
bool reaches(const std::function<float()>& clock, float target) {
    for (int tries = 0; tries < 500; ++tries) {
        if (clock() > target) {
            return true;
        }
        SDL_Delay(10);
    }
    return false;
}

int peakBin() {
    float magnitudes[256];
    Music::spectrum(magnitudes);
    return static_cast<int>(std::max_element(magnitudes, magnitudes + 256) - magnitudes);
}

// The device runs on the dummy driver (ctest sets SDL_AUDIODRIVER), which takes
// frames in real time like a sound card.
class MusicPlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir();
        // Bin 12 for three seconds, then bin 40: where the change shows tells
        // whether positions and spectra line up with the decoded audio.
        std::vector<int16_t> samples;
        appendTone(samples, 2, 44100, 3.0, 12 * binHz, 0.9);
        appendTone(samples, 2, 44100, 3.0, 40 * binHz, 0.9);
        std::string error;
        ASSERT_TRUE(encodeMp3(changeFile(), samples, 2, 44100, &error)) << error;
        // Long enough to start at 12.5 s; mono at a low rate encodes quickly.
        samples.clear();
        appendTone(samples, 1, 22050, 14.0, 500.0, 0.5);
        ASSERT_TRUE(encodeMp3(longFile(), samples, 1, 22050, &error, 64)) << error;
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    void TearDown() override { Music::close(); }

    static std::string changeFile() { return folder->file("change.mp3"); }
    static std::string longFile() { return folder->file("long.mp3"); }

    static TempDir* folder;
};

TempDir* MusicPlaybackTest::folder = nullptr;

} // namespace

TEST_F(MusicPlaybackTest, SeekingShowsTheToneChangeAtItsPosition) {
    Music::init(nullptr);
    Music::open(changeFile().c_str());
    ASSERT_TRUE(Music::hasStream());
    Music::play(0.0);

    Music::seek(3.5);
    float position = Music::position();
    EXPECT_GE(position, 3.5f);
    EXPECT_LT(position, 3.6f);
    EXPECT_EQ(peakBin(), 40);

    Music::seek(2.5);
    EXPECT_LT(Music::position(), 2.6f);
    EXPECT_EQ(peakBin(), 12);
}

TEST_F(MusicPlaybackTest, PlayingFromTwelveAndAHalfSecondsAsksForItsBytePosition) {
    Music::init(nullptr);
    Music::open(longFile().c_str());
    EXPECT_NEAR(Music::duration(), 14.0, 1152.0 / 22050);
    EXPECT_EQ(Music::bytePosition(12.5), 2205000);
    Music::play(12.5);
    float position = Music::position();
    EXPECT_GE(position, 12.5f);
    EXPECT_LT(position, 12.6f);
}

TEST_F(MusicPlaybackTest, VirtualModeComputesPositionAndSpectrumWithoutADevice) {
    Music::enableVirtualMode();
    Music::init(nullptr);
    Music::open(changeFile().c_str());
    ASSERT_TRUE(Music::hasStream());
    Music::play(2.0);
    EXPECT_EQ(Music::position(), 2.0f);
    SDL_Delay(50);
    EXPECT_EQ(Music::position(), 2.0f);

    // 512 frames are 11.6 ms: 12 ms either side of the change the window lies
    // wholly in one tone.
    Music::setVirtualPosition(2.988);
    EXPECT_EQ(Music::position(), 2.988f);
    EXPECT_EQ(peakBin(), 12);
    Music::setVirtualPosition(3.012);
    EXPECT_EQ(peakBin(), 40);
    float magnitudes[256];
    Music::spectrum(magnitudes);
    EXPECT_NEAR(magnitudes[40], 0.9f, 0.05f);
}

TEST_F(MusicPlaybackTest, TheDemoClockFollowsTheMusicAndStandsWhilePaused) {
    Demo demo;
    const std::string file = longFile();
    demo.musicFile = file.c_str();
    demo.clockStart = 2.0f;
    demo.volume = 0.0f;
    demo.startMusic();
    demo.timer.reset();
    float start = demo.readClock();
    EXPECT_GE(start, 2.0f);
    EXPECT_LT(start, 2.1f);

    auto clock = [&demo] { return demo.readClock(); };
    EXPECT_TRUE(reaches(clock, start + 0.1f));
    Music::pause();
    float paused = demo.readClock();
    SDL_Delay(150);
    EXPECT_EQ(demo.readClock(), paused);

    Music::resume();
    EXPECT_TRUE(reaches(clock, paused + 0.1f));
}

TEST_F(MusicPlaybackTest, AMissingFileIsReportedOnceAndTheTimerKeepsTheClock) {
    TempDir dir;
    const std::string missing = dir.file("music.mp3");
    Demo demo;
    demo.musicFile = missing.c_str();
    demo.clockStart = 5.0f;

    testing::internal::CaptureStderr();
    demo.startMusic();
    Music::pause();
    Music::seek(3.0);
    Music::resume();
    demo.timer.reset();
    float before = demo.readClock();
    float magnitudes[256];
    std::fill(magnitudes, magnitudes + 256, 1.0f);
    Music::spectrum(magnitudes);
    SDL_Delay(100);
    float after = demo.readClock();
    std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(countOf(errors, "BASS error, file not found?"), 1u) << errors;
    EXPECT_EQ(countOf(errors, "BASS error"), 1u) << errors;
    EXPECT_NE(errors.find(missing), std::string::npos) << errors;
    EXPECT_FALSE(Music::hasStream());
    EXPECT_GE(before, 5.0f);
    EXPECT_GT(after, before + 0.05f);
    EXPECT_TRUE(std::all_of(magnitudes, magnitudes + 256, [](float m) { return m == 0.0f; }));
}

TEST_F(MusicPlaybackTest, WithoutASoundCardTheDummyDriverPlaysAndSaysSoOnce) {
    const char* configured = getenv("SDL_AUDIODRIVER");
    const std::string restore = configured != nullptr ? configured : "";
    setenv("SDL_AUDIODRIVER", "no-such-sound-card", 1);

    testing::internal::CaptureStderr();
    Music::init(nullptr);
    Music::open(longFile().c_str());
    Music::play(0.0);
    bool advanced = reaches(Music::position, 0.1f);
    // A second init on the open device neither reopens nor repeats the notice.
    Music::init(nullptr);
    std::string errors = testing::internal::GetCapturedStderr();

    if (configured != nullptr) {
        setenv("SDL_AUDIODRIVER", restore.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    EXPECT_EQ(countOf(errors, "dummy driver"), 1u) << errors;
    EXPECT_EQ(countOf(errors, "BASS"), 0u) << errors;
    EXPECT_TRUE(advanced);
}

// A run that starts later (the player's --start) plays picture and music from
// the same time, and its first frame inherits what the frames before it left:
// here the frames of the effect's slot, every one carried, none drawn.
TEST_F(MusicPlaybackTest, AStartTimeSetsPictureAndMusicTogether) {
    class FirstFrame : public Effect {
    public:
        explicit FirstFrame(Demo* demo) : Effect(demo) {}
        void skip() override { ++skipped; }
        void render() override {
            time = demo->time;
            heard = Music::position();
            bin = peakBin();
            demo->quitRequested = true;
        }
        int skipped = 0, bin = -1;
        float time = -1.0f, heard = -1.0f;
    };
    class Starting : public Demo {
    public:
        void buildTimeline() override { addEntry(0.0f, 1000.0f, first = new FirstFrame(this)); }
        FirstFrame* first = nullptr;
    };
    const std::string file = changeFile();
    Starting demo;
    demo.verbose = false;
    demo.musicFile = file.c_str();
    demo.length = 6.0f;
    demo.clockStart = 4.0f;
    demo.volume = 0.0f;
    demo.run();
    ASSERT_NE(demo.first, nullptr);
    EXPECT_GE(demo.first->time, 4.0f);
    EXPECT_LT(demo.first->time, 4.5f);
    EXPECT_NEAR(demo.first->heard, demo.first->time, 0.05f);
    // The second tone, which starts at 3 s.
    EXPECT_EQ(demo.first->bin, 40);
    // Four seconds of frames at 60 a second.
    EXPECT_EQ(demo.first->skipped, 240);
}
