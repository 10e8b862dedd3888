#include "camera/Camrig.h"

#include "core/Demo.h"
#include "platform/OutlineFont.h"
#include "tests/support/GlTest.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

const OutlineFont* sharedFont() {
    static OutlineFont* font = new OutlineFont("Verdana");
    return font;
}

// A virtual pad with the Xbox layout, so SDL takes it for a game controller.
class VirtualPad {
public:
    VirtualPad() {
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
        desc.vendor_id = 0x045e;
        desc.product_id = 0x028e;
        desc.button_mask = (1u << (SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1)) - 1u;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1u;
        desc.name = "Virtual test pad";
        index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        EXPECT_TRUE(SDL_IsGameController(index));
        joystick = SDL_JoystickOpen(index);
        EXPECT_NE(joystick, nullptr) << SDL_GetError();
        release();
    }
    ~VirtualPad() {
        SDL_JoystickClose(joystick);
        SDL_JoystickDetachVirtual(index);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    void button(SDL_GameControllerButton b, bool down) {
        SDL_JoystickSetVirtualButton(joystick, b, down ? 1 : 0);
    }
    void axis(SDL_GameControllerAxis a, int value) {
        SDL_JoystickSetVirtualAxis(joystick, a, static_cast<Sint16>(value));
    }
    // Everything at rest: sticks centred, triggers out, no buttons.
    void release() {
        for (int b = 0; b <= SDL_CONTROLLER_BUTTON_DPAD_RIGHT; ++b) {
            button(static_cast<SDL_GameControllerButton>(b), false);
        }
        for (int a = 0; a < SDL_CONTROLLER_AXIS_TRIGGERLEFT; ++a) {
            axis(static_cast<SDL_GameControllerAxis>(a), 0);
        }
        axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    }

private:
    int index = -1;
    SDL_Joystick* joystick = nullptr;
};

// Runs in a fresh folder, where the editor's dump file and banks go.
class CamrigEditor : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        std::filesystem::create_directories("data/tracks");
        demo.font = const_cast<OutlineFont*>(sharedFont());
        pad = std::make_unique<VirtualPad>();
        rig = std::make_unique<Camrig>(&demo, false);
        demo.addEntry(0.0f, 1000.0f, rig.get());
        rig->load();
        ASSERT_NE(rig->gamepad, nullptr);
    }
    void TearDown() override {
        rig.reset();
        pad.reset();
        std::filesystem::current_path(previous);
        GlTest::TearDown();
    }
    // One frame of the demo at time t.
    void frame(float t, float dt = 1.0f / 60.0f) { demo.renderFrame(t, dt); }
    void tap(SDL_GameControllerButton b, float t) {
        pad->button(b, true);
        frame(t);
        pad->button(b, false);
        frame(t);
    }
    std::vector<float> times(int track) {
        std::vector<float> out;
        for (int i = 0; i < rig->tracks[track].count; ++i) {
            out.push_back(rig->tracks[track].key(i).time);
        }
        return out;
    }

    TempDir dir;
    std::filesystem::path previous;
    Demo demo;
    std::unique_ptr<VirtualPad> pad;
    std::unique_ptr<Camrig> rig;
};

} // namespace

TEST(Camrig, ResponseCurveAndRepeatButton) {
    EXPECT_FLOAT_EQ(stickResponse(1.0f), 10.0f);
    EXPECT_FLOAT_EQ(stickResponse(-0.5f), -10.0f / 128.0f);
    EXPECT_EQ(stickResponse(0.0f), 0.0f);

    RepeatButton button(0.5f);
    int actions = 0;
    // Held for 1.5 s at 8 frames a second: at 0, 0.5 and 1.0 s.
    for (int i = 0; i < 12; ++i) {
        button.update(true, 0.125f);
        actions += button.take() ? 1 : 0;
    }
    EXPECT_EQ(actions, 3);
    // Released and pressed again: acts at once.
    button.update(false, 0.1f);
    button.update(true, 0.1f);
    EXPECT_TRUE(button.take());
}

TEST(Camrig, GamepadAxesFromRawRanges) {
    Gamepad pad(nullptr);
    PadRawState raw;
    raw.lX = 65535;
    raw.lY = 0;
    raw.lZ = 65535;
    raw.lRx = 32768 + 3000; // inside the dead zone with its partner
    raw.lRy = 32768;
    raw.buttons[7] = 0x80;
    raw.pov = 27000;
    pad.apply(raw);
    EXPECT_FLOAT_EQ(pad.leftX, 1.0f);
    EXPECT_FLOAT_EQ(pad.leftY, 1.0f);
    EXPECT_NEAR(pad.triggers, 1.0f, 1e-6f);
    EXPECT_EQ(pad.rightX, 0.0f);
    EXPECT_EQ(pad.rightY, 0.0f);
    EXPECT_EQ(pad.buttons[7], 1);
    EXPECT_EQ(pad.buttons[0], 0);
    EXPECT_NEAR(pad.pov, 27.0f, 1e-4f);
    // One stick axis out of the dead zone keeps the other's small value.
    raw.lRx = 32768 + 3000;
    raw.lRy = 0;
    raw.lZ = 32768;
    raw.pov = -1;
    pad.apply(raw);
    EXPECT_GT(pad.rightX, 0.0f);
    EXPECT_EQ(pad.triggers, 0.0f);
    EXPECT_EQ(pad.pov, -1.0f);
}

TEST(Camrig, PlaybackWritesEveryControllerAndIgnoresThePad) {
    Demo demo;
    Camrig rig(&demo, true);
    EXPECT_EQ(rig.name, "Camrig");
    rig.tracks[0].addKey(0, 0, 0, 0.0f, 1);
    rig.tracks[0].addKey(10, 20, 30, 10.0f, 1);
    rig.tracks[1].addKey(5, 5, 5, 2.0f, 0);
    rig.tracks[63].addKey(1, 2, 3, 0.0f, 2);
    rig.tracks[63].addKey(3, 2, 1, 5.0f, 2);
    demo.addEntry(0.0f, 1000.0f, &rig);
    rig.load();
    EXPECT_EQ(rig.gamepad, nullptr);
    EXPECT_EQ(rig.dumpFile, nullptr);

    demo.controllerValues[5] = Vec3(9, 9, 9);
    demo.renderFrame(2.5f, 0.02f);
    EXPECT_FLOAT_EQ(demo.controllerValues[0].x, 2.5f);
    EXPECT_FLOAT_EQ(demo.controllerValues[0].z, 7.5f);
    EXPECT_FLOAT_EQ(demo.controllerValues[1].y, 5.0f);
    EXPECT_FLOAT_EQ(demo.controllerValues[63].x, 2.0f);
    EXPECT_EQ(demo.controllerValues[5].x, 0.0f);
    EXPECT_FALSE(demo.quitRequested);
    EXPECT_EQ(rig.tracks[0].count, 2);
}

TEST(CamrigDeath, NoControllerEndsTheEditorWithAFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The editor gives up before it opens its dump file, so the child writes
    // nothing where it runs.
    EXPECT_EXIT(
        {
            Demo demo;
            Camrig rig(&demo, false);
            rig.load();
        },
        testing::ExitedWithCode(1), "PorticoInput error: No XBOX360-controller found\\.");
}

TEST(Camrig, TheEditorStartsWithEmptyTracksWhereTheBankCannotBeRead) {
    // Banks are made in the editor; playback refuses such a bank (the player's
    // tests show it).
    TempDir dir;
    Demo demo;
    Camrig rig(&demo, false);
    rig.tracks[0].addKey(1, 2, 3, 0.0f, 1);
    testing::internal::CaptureStderr();
    rig.readStartBank(dir.file("none.crg"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.crg: cannot open"),
              std::string::npos);
    for (const CameraTrack& track : rig.tracks) {
        EXPECT_EQ(track.count, 0);
    }
}

TEST_F(CamrigEditor, LoadStartsFromDefaultKeys) {
    EXPECT_EQ(rig->currentTrack, 0);
    EXPECT_EQ(rig->editMode, 2);
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(rig->tracks[k].count, 1);
    }
    EXPECT_EQ(rig->tracks[0].key(0).position().x, 100.0f);
    EXPECT_EQ(rig->tracks[2].key(0).position().z, -1.0f);
    EXPECT_TRUE(std::filesystem::exists("spermdump.txt"));
    frame(1.0f);
    EXPECT_EQ(demo.controllerValues[0].z, -100.0f);
    EXPECT_EQ(demo.controllerValues[2].z, -1.0f);
    // The panel lies over the bottom of the picture, half transparent grey.
    std::array<int, 4> panel = pixel(200, 70);
    EXPECT_NEAR(panel[0], 64, 2);
    EXPECT_NEAR(panel[2], 64, 2);
    EXPECT_EQ(pixel(40, 70)[0], 0);
}

TEST_F(CamrigEditor, ButtonAAddsKeysInSortedPlace) {
    // Held for several frames within a second: one key only.
    pad->button(SDL_CONTROLLER_BUTTON_A, true);
    for (int i = 0; i < 5; ++i) {
        frame(5.0f);
    }
    pad->button(SDL_CONTROLLER_BUTTON_A, false);
    frame(5.0f);
    EXPECT_EQ(times(0), (std::vector<float>{0.0f, 5.0f}));

    tap(SDL_CONTROLLER_BUTTON_A, 2.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(times(k), (std::vector<float>{0.0f, 2.0f, 5.0f})) << k;
        EXPECT_EQ(rig->tracks[k].key(1).mode, 1);
    }
    // The new key copies the key at or before its time.
    EXPECT_EQ(rig->tracks[0].key(1).position().x, 100.0f);
    EXPECT_EQ(rig->tracks[2].key(1).position().z, -1.0f);
}

TEST_F(CamrigEditor, ButtonBRemovesButNeverTheLastKey) {
    tap(SDL_CONTROLLER_BUTTON_A, 4.0f);
    tap(SDL_CONTROLLER_BUTTON_A, 8.0f);
    ASSERT_EQ(times(1), (std::vector<float>{0.0f, 4.0f, 8.0f}));

    tap(SDL_CONTROLLER_BUTTON_B, 5.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(times(k), (std::vector<float>{0.0f, 8.0f})) << k;
    }
    tap(SDL_CONTROLLER_BUTTON_B, 9.0f);
    tap(SDL_CONTROLLER_BUTTON_B, 1.0f);
    tap(SDL_CONTROLLER_BUTTON_B, 1.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rig->tracks[k].count, 1) << k;
    }
    // And the camera still flies.
    pad->axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    frame(1.0f, 0.1f);
    pad->release();
    EXPECT_NE(rig->tracks[0].key(0).position().x, 100.0f);
}

TEST_F(CamrigEditor, FullTriggerScrubsBackEachFrame) {
    demo.clockStart = 50.0f;
    pad->axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    frame(50.0f);
    EXPECT_NEAR(demo.clockStart, 50.0f - 1.61051f, 1e-4f);
    frame(48.0f);
    EXPECT_NEAR(demo.clockStart, 50.0f - 2 * 1.61051f, 1e-4f);
    // The right trigger scrubs forward; a light touch does nothing.
    pad->axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    pad->axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    frame(47.0f);
    EXPECT_NEAR(demo.clockStart, 50.0f - 1.61051f, 1e-3f);
    pad->axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768 + 13107); // 0.2 pressed
    float before = demo.clockStart;
    frame(47.0f);
    EXPECT_EQ(demo.clockStart, before);
}

TEST_F(CamrigEditor, HatStepsTracksRoundTheBank) {
    // Outside the flying mode the chosen track stays chosen between frames.
    rig->editMode = 0;
    rig->currentTrack = 63;
    tap(SDL_CONTROLLER_BUTTON_DPAD_UP, 1.0f);
    EXPECT_EQ(rig->currentTrack, 0);
    tap(SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1.0f);
    EXPECT_EQ(rig->currentTrack, 1);
    tap(SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1.0f);
    EXPECT_EQ(rig->currentTrack, 0);
}

TEST_F(CamrigEditor, HatLeftAndRightStepTheKeyMode) {
    tap(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rig->tracks[k].key(0).mode, 2) << k;
    }
    tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1.0f);
    tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1.0f);
    tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rig->tracks[k].key(0).mode, 4) << k;
    }
}

TEST_F(CamrigEditor, StartQuitsAndXTogglesPause) {
    tap(SDL_CONTROLLER_BUTTON_X, 1.0f);
    EXPECT_TRUE(demo.paused);
    tap(SDL_CONTROLLER_BUTTON_X, 1.0f);
    EXPECT_FALSE(demo.paused);
    EXPECT_FALSE(demo.quitRequested);
    tap(SDL_CONTROLLER_BUTTON_START, 1.0f);
    EXPECT_TRUE(demo.quitRequested);
}

TEST_F(CamrigEditor, YDumpsTheCameraPosition) {
    frame(1.0f);
    tap(SDL_CONTROLLER_BUTTON_Y, 1.0f);
    std::ifstream dump("spermdump.txt");
    std::string line;
    std::getline(dump, line);
    EXPECT_EQ(line, "100.00, 100.00, -100.00");
}

TEST_F(CamrigEditor, SpectrumTrailsOnlyInsideTheirSpan) {
    demo.spectrum[0] = 3.0f;
    demo.spectrum[1] = 4.0f;
    frame(10.0f);
    EXPECT_EQ(rig->spectrumTrail0[600], 3.0f);
    EXPECT_EQ(rig->spectrumTrail1[600], 4.0f);
    frame(333.29f);
    EXPECT_EQ(rig->spectrumTrail0[19997], 3.0f);
    // Past the end and before the start nothing is written, and nothing breaks.
    frame(333.3f);
    frame(900.0f);
    demo.addEntry(-5.0f, 10.0f, rig.get());
    demo.spectrum[0] = 7.0f;
    frame(-1.0f);
    EXPECT_EQ(rig->spectrumTrail0[0], 0.0f);
    // Paused, nothing is recorded.
    demo.paused = true;
    frame(20.0f);
    EXPECT_EQ(rig->spectrumTrail0[1200], 0.0f);
}

TEST_F(CamrigEditor, SavedBankLoadsBackWithFlyingKeysRestored) {
    tap(SDL_CONTROLLER_BUTTON_A, 3.0f);
    ASSERT_TRUE(rig->saveBank(2));
    EXPECT_EQ(std::filesystem::file_size("data/tracks/3.crg"), 256u + 6u * 20u);

    CameraTrack other[trackBankSize];
    other[5].addKey(1, 1, 1, 1, 1);
    ASSERT_TRUE(writeTrackBank("data/tracks/4.crg", other));
    ASSERT_TRUE(rig->loadBank(3));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rig->tracks[k].count, 1) << k;
    }
    EXPECT_EQ(rig->tracks[5].count, 1);
    EXPECT_EQ(rig->tracks[0].key(0).position().x, 100.0f);
    frame(2.0f);

    ASSERT_TRUE(rig->loadBank(2));
    EXPECT_EQ(times(0), (std::vector<float>{0.0f, 3.0f}));
    EXPECT_EQ(rig->tracks[5].count, 0);
}
