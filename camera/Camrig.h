#pragma once

#include "camera/CameraTrack.h"
#include "camera/Gamepad.h"
#include "camera/RepeatButton.h"
#include "camera/TrackBank.h"
#include "core/Effect.h"

#include <cstdio>
#include <memory>
#include <string>

// The effect that owns the camera: every frame it writes each of its 64 tracks at
// the current time into the demo's controllers, after every scene has rendered.
// In editor mode it is also the tool that records the tracks: a gamepad flies the
// camera and places keys, S or L with F1 .. F8 save or load the bank
// "data/tracks/1.crg" .. "data/tracks/8.crg", the triggers scrub the music, and
// a panel shows the time line with keys and spectrum.
class Camrig : public Effect {
public:
    static constexpr int trailLength = 20000;

    Camrig(Demo* demo, bool playbackOnly);
    ~Camrig();
    Camrig(const Camrig&) = delete;
    Camrig& operator=(const Camrig&) = delete;

    void load() override;
    void render() override;
    // A frame a seek passes over still moves the camera on.
    void skip() override;

    // Reads the bank the demo starts from. The editor, where banks are made,
    // starts on whatever the file holds, empty tracks where it holds nothing;
    // playback needs a sound bank and otherwise ends the program naming the file.
    void readStartBank(const std::string& fileName);
    // Bank slot 0 .. 7 is "data/tracks/1.crg" .. "data/tracks/8.crg".
    bool saveBank(int slot);
    // Tracks 0, 1 and 2 that the bank leaves empty get the default keys of a
    // fresh editor, so the camera always has a key to fly.
    bool loadBank(int slot);

    float spectrumTrail0[trailLength] = {};
    float spectrumTrail1[trailLength] = {};
    std::unique_ptr<GamepadManager> gamepads;
    Gamepad* gamepad = nullptr;
    float viewHalfSpan = 2.5f;
    CameraTrack tracks[trackBankSize];
    int currentTrack = 0;
    int editMode = 2;
    int selectedKey = 0;
    FILE* dumpFile = nullptr;
    unsigned char playbackOnly;

private:
    void handleKeyboard();
    void recordSpectrum();
    void scrub();
    void drawPanel();
    void drawReadouts();
    void flyCamera();
    void writeControllers();
    void addDefaultKeys(bool onlyWhereEmpty);
    float screenX(float time) const;

    RepeatButton pauseButton{0.5f};
    RepeatButton dumpButton{0.5f};
    RepeatButton trackUpButton{0.15f};
    RepeatButton trackDownButton{0.15f};
    RepeatButton addKeyButton{1.0f};
    RepeatButton removeKeyButton{1.0f};
    RepeatButton modeDownButton{0.15f};
    RepeatButton modeUpButton{0.15f};
};

// The editor's stick response: v^7 x 10, fine near the centre, fast at the rim.
float stickResponse(float v);
