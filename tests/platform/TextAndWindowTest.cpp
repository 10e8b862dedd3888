// Outline text, window events and the programs' exit codes.
#include "core/Timer.h"
#include "platform/EngineError.h"
#include "platform/Fatal.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/OutlineFont.h"
#include "platform/RenderTarget.h"
#include "support/GlTest.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class TextTest : public GlTest {
protected:
    static OutlineFont& font() {
        static OutlineFont* shared = new OutlineFont("Verdana");
        return *shared;
    }
    // Bounding box of the lit pixels of the window: x0, y0, x1, y1.
    std::array<int, 4> litBox(int width, int height) {
        std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        std::array<int, 4> box{width, height, -1, -1};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (rgba[(static_cast<size_t>(y) * width + x) * 4] > 128) {
                    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x),
                           std::max(box[3], y)};
                }
            }
        }
        return box;
    }
};

TEST_F(TextTest, TextAtTheOriginStartsAtTheBottomLeftCorner) {
    ASSERT_FALSE(font().fontFile().empty()) << "fontconfig matched no font";
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    drawText(&font(), 0, 0, "HHHH");
    auto box = litBox(800, 600);
    // One em is 1/45 of the height, 13.3 pixels; an H stands on the baseline.
    EXPECT_LE(box[0], 3);
    EXPECT_LE(box[1], 1);
    EXPECT_GE(box[3], 7);
    EXPECT_LE(box[3], 14);
    EXPECT_GT(box[2], 20);
    EXPECT_LT(box[2], 60);
    // drawText leaves the depth test on whatever it was before.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(TextTest, TextScalesWithTheWindowAndIsFormatted) {
    glColor3f(1, 1, 1);
    drawText(&font(), 400, 300, "%d%s", 42, "MM");
    auto full = litBox(800, 600);
    EXPECT_GE(full[0], 400);
    EXPECT_GE(full[1], 300);

    // The same text over a picture half the size: positions are pixels of the
    // picture as made, so it stands at the same place in the picture and
    // covers a quarter of the area.
    int savedWidth = window().width, savedHeight = window().height;
    window().width = 400;
    window().height = 300;
    RenderTarget small(400, 300, true, false);
    small.bind();
    clear(0, 0, 0, 0, true, true, false);
    drawText(&font(), 400, 300, "%d%s", 42, "MM");
    auto half = litBox(400, 300);
    small.unbind();
    window().width = savedWidth;
    window().height = savedHeight;
    EXPECT_NEAR(half[0] * 2, full[0], 3);
    EXPECT_NEAR(half[1] * 2, full[1], 3);
    EXPECT_NEAR((half[2] - half[0]) * 2, full[2] - full[0], 3);
    EXPECT_NEAR((half[3] - half[1]) * 2, full[3] - full[1], 3);
}

TEST_F(TextTest, LongTextIsCutAndCode255DrawsNothing) {
    std::string longText(10000, 'W');
    drawText(&font(), 0, 0, "%s", longText.c_str());
    clear(0, 0, 0, 0, true, true, false);
    glColor3f(1, 1, 1);
    drawText(&font(), 100, 100, "\xff\xff\xff");
    EXPECT_EQ(litBox(800, 600)[2], -1);
}

TEST(WindowTest, EachUpdateTakesOneEventAndQuitStopsPresenting) {
    GlWindow& window = testWindow();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Uint32 type = SDL_RegisterEvents(1);
    for (int i = 0; i < 5; ++i) {
        SDL_Event event{};
        event.type = type;
        SDL_PushEvent(&event);
    }
    auto pending = [type] {
        SDL_Event events[16];
        return SDL_PeepEvents(events, 16, SDL_PEEKEVENT, type, type);
    };
    for (int frame = 1; frame <= 5; ++frame) {
        EXPECT_TRUE(window.update());
        EXPECT_EQ(pending(), 5 - frame);
    }
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_FALSE(window.update());
    EXPECT_TRUE(window.update());
    EXPECT_EQ(window.nativeHandle(0), window.window);
    EXPECT_EQ(window.nativeHandle(2), window.glContext);
    EXPECT_EQ(window.nativeHandle(3), static_cast<void*>(window.shaderContext));
    EXPECT_EQ(window.nativeHandle(4), nullptr);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled() == SDL_FALSE);
}

TEST(TimerTest, ElapsedAndDeltaKeepSeparateReferences) {
    Timer timer;
    timer.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    float firstDelta = timer.delta();
    EXPECT_GE(firstDelta, 0.025f);
    EXPECT_LT(timer.delta(), 0.01f);
    // delta did not move elapsed's reference.
    EXPECT_GE(timer.elapsed(), 0.025f);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // elapsed did not move delta's reference either.
    float elapsed = timer.elapsed();
    EXPECT_GE(timer.delta(), 0.015f);
    EXPECT_GE(elapsed, 0.045f);
    timer.reset();
    EXPECT_LT(timer.elapsed(), 0.01f);
}

TEST(FatalTest, UncaughtEngineErrorsEndTheProgramWithTheirMessage) {
    auto throwing = [](int, char**) -> int {
        throw EngineError("index 3 outside an array of 2 items");
    };
    EXPECT_EXIT(runGuarded("Meridian", throwing, 0, nullptr), ::testing::ExitedWithCode(1),
                "index 3 outside an array of 2 items");
    EXPECT_EXIT(fatalError("Caption", "the reason"), ::testing::ExitedWithCode(1),
                "Caption: the reason");
}

TEST(PlayerTest, SixSamplePlayerReportsThePixelFormatOnLlvmpipe) {
    std::string output;
    int status = runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 60 " +
                                stageProgram("lumora-player-ms6"),
                            &output);
    // llvmpipe offers at most 4 samples; a driver with more may simply run.
    if (output.find("Pixel format") != std::string::npos) {
        EXPECT_NE(status, 0);
        EXPECT_NE(output.find("PORTICO ERROR: Pixel format/type not supported"), std::string::npos);
    }
}

// The samples a player's window got, from the line it prints when it opens it.
int reportedSamples(const std::string& output) {
    int samples = -1;
    size_t at = output.find("Window 800 x 600, ");
    if (at != std::string::npos) {
        sscanf(output.c_str() + at, "Window 800 x 600, %d samples", &samples);
    }
    return samples;
}

TEST(PlayerTest, PlayersRunHeadlessWithTheirSamplesAndEndCleanlyOnSigterm) {
    // lumora-player asks for 0 samples: the driver's smallest multisample format,
    // which the shared test window (also 0) shows.
    const int smallest = testWindow().samples;
    for (const char* player : {"lumora-player", "lumora-player-ms4"}) {
        // The loading screen drops quit requests, so keep asking until the main
        // loop takes one.
        std::string command = "cd / && (SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                              stageProgram(player) +
                              " & pid=$!; for i in $(seq 60); do sleep 0.5; kill -TERM $pid "
                              "2>/dev/null || break; done; wait $pid)";
        std::string output;
        EXPECT_EQ(runCommand(command, &output), 0) << player << ": " << output;
        EXPECT_NE(output.find("Loading element \"Ocean\"...Done."), std::string::npos) << output;
        EXPECT_NE(output.find("Loading element \"Camrig\"...Done."), std::string::npos) << output;
        if (std::string(player) == "lumora-player") {
            EXPECT_EQ(reportedSamples(output), smallest) << output;
            EXPECT_GT(smallest, 0);
        } else {
            EXPECT_GE(reportedSamples(output), 4) << output;
        }
    }
}

} // namespace
