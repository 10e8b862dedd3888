#pragma once

#include <SDL_gamecontroller.h>

#include <cstdint>
#include <vector>

// One controller's state in the ranges the editor's formulas were made for:
// axes 0 .. 65535 with the centre in the middle (y growing downwards), one
// trigger axis that the left trigger raises and the right trigger lowers, button
// flags (0 A, 1 B, 2 X, 3 Y, 4 LB, 5 RB, 6 Back, 7 Start, 8 and 9 the sticks)
// and the pad as a point-of-view angle in hundredths of degrees clockwise from
// up, -1 when centred.
struct PadRawState {
    int32_t lX = 32768;
    int32_t lY = 32768;
    int32_t lZ = 32768;
    int32_t lRx = 32768;
    int32_t lRy = 32768;
    unsigned char buttons[128] = {};
    int32_t pov = -1;
};

// A game controller as the camera editor reads it.
class Gamepad {
public:
    explicit Gamepad(SDL_GameController* device);
    ~Gamepad();
    Gamepad(const Gamepad&) = delete;
    Gamepad& operator=(const Gamepad&) = delete;

    // Reads the controller and sets the fields below from it.
    void poll();
    // Sets the fields from a raw state: axes to -1 .. 1 with up and right
    // positive, the dead zone applied to each stick as a whole, pov in degrees.
    void apply(const PadRawState& raw);

    SDL_GameController* device = nullptr;
    float leftX = 0.0f;
    float leftY = 0.0f;
    float triggers = 0.0f;
    float rightX = 0.0f;
    float rightY = 0.0f;
    unsigned char buttons[128] = {};
    float pov = -1.0f;
    float deadZone = 0.25f;
};

// The controller's state mapped into the raw ranges.
PadRawState readRawState(SDL_GameController* device);

// Opens every attached game controller.
class GamepadManager {
public:
    GamepadManager();
    ~GamepadManager();
    GamepadManager(const GamepadManager&) = delete;
    GamepadManager& operator=(const GamepadManager&) = delete;

    std::vector<Gamepad*> gamepads;
};

// The manager created last.
extern GamepadManager* currentGamepadManager;
