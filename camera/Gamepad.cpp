#include "camera/Gamepad.h"

#include "platform/EngineError.h"

#include <SDL.h>

#include <cmath>
#include <cstdlib>

GamepadManager* currentGamepadManager = nullptr;

namespace {

// A value in low .. high moved linearly onto 0 .. 65535.
int32_t toRawRange(int value, int low, int high) {
    double scaled = (static_cast<double>(value) - low) * 65535.0 / (high - low);
    long rounded = std::lround(scaled);
    return static_cast<int32_t>(rounded < 0 ? 0 : (rounded > 65535 ? 65535 : rounded));
}

int32_t stickAxis(SDL_GameController* device, SDL_GameControllerAxis axis) {
    return toRawRange(SDL_GameControllerGetAxis(device, axis), -32768, 32767);
}

} // namespace

PadRawState readRawState(SDL_GameController* device) {
    PadRawState raw;
    raw.lX = stickAxis(device, SDL_CONTROLLER_AXIS_LEFTX);
    raw.lY = stickAxis(device, SDL_CONTROLLER_AXIS_LEFTY);
    raw.lRx = stickAxis(device, SDL_CONTROLLER_AXIS_RIGHTX);
    raw.lRy = stickAxis(device, SDL_CONTROLLER_AXIS_RIGHTY);
    // Both triggers share one axis, as the pad reports them to the older input
    // interface: they cancel when pressed together.
    int leftTrigger = SDL_GameControllerGetAxis(device, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    int rightTrigger = SDL_GameControllerGetAxis(device, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    raw.lZ = toRawRange(leftTrigger - rightTrigger, -32767, 32767);

    const SDL_GameControllerButton order[] = {SDL_CONTROLLER_BUTTON_A,
                                              SDL_CONTROLLER_BUTTON_B,
                                              SDL_CONTROLLER_BUTTON_X,
                                              SDL_CONTROLLER_BUTTON_Y,
                                              SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
                                              SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
                                              SDL_CONTROLLER_BUTTON_BACK,
                                              SDL_CONTROLLER_BUTTON_START,
                                              SDL_CONTROLLER_BUTTON_LEFTSTICK,
                                              SDL_CONTROLLER_BUTTON_RIGHTSTICK};
    int i = 0;
    for (SDL_GameControllerButton button : order) {
        raw.buttons[i++] = SDL_GameControllerGetButton(device, button) != 0 ? 0x80 : 0;
    }

    int up = SDL_GameControllerGetButton(device, SDL_CONTROLLER_BUTTON_DPAD_UP);
    int down = SDL_GameControllerGetButton(device, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    int left = SDL_GameControllerGetButton(device, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    int right = SDL_GameControllerGetButton(device, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    int dy = up - down;
    int dx = right - left;
    if (dx == 0 && dy == 0) {
        raw.pov = -1;
    } else {
        // Eight directions, clockwise from up.
        static const int32_t angles[3][3] = {
            {31500, 27000, 22500}, // left: up, centre, down
            {0, -1, 18000},        // centre
            {4500, 9000, 13500},   // right
        };
        raw.pov = angles[dx + 1][1 - dy];
    }
    return raw;
}

Gamepad::Gamepad(SDL_GameController* device_) : device(device_) {}

Gamepad::~Gamepad() {
    if (device != nullptr) {
        SDL_GameControllerClose(device);
    }
}

void Gamepad::poll() {
    // Controller events are switched off (the window takes one event per frame
    // and must not wait behind stick motion), so the state is pumped here.
    SDL_GameControllerUpdate();
    apply(readRawState(device));
}

void Gamepad::apply(const PadRawState& raw) {
    const float r = 1.0f / 65535.0f;
    leftX = 2.0f * r * static_cast<float>(raw.lX) - 1.0f;
    leftY = 1.0f - 2.0f * r * static_cast<float>(raw.lY);
    triggers = 2.0f * r * static_cast<float>(raw.lZ) - 1.0f;
    rightX = 2.0f * r * static_cast<float>(raw.lRx) - 1.0f;
    rightY = 1.0f - 2.0f * r * static_cast<float>(raw.lRy);
    if (std::fabs(leftX) < deadZone && std::fabs(leftY) < deadZone) {
        leftX = 0.0f;
        leftY = 0.0f;
    }
    if (std::fabs(rightX) < deadZone && std::fabs(rightY) < deadZone) {
        rightX = 0.0f;
        rightY = 0.0f;
    }
    if (std::fabs(triggers) < 0.01f) {
        triggers = 0.0f;
    }
    for (int i = 0; i < 128; ++i) {
        buttons[i] = raw.buttons[i] != 0 ? 1 : 0;
    }
    pov = raw.pov > 0 ? static_cast<float>(raw.pov) * 0.001f : static_cast<float>(raw.pov);
}

GamepadManager::GamepadManager() {
    // The editor is flown with the pad while the keyboard and the window may be
    // elsewhere.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        throw EngineError(std::string("cannot start the game controller support: ") +
                          SDL_GetError());
    }
    SDL_GameControllerEventState(SDL_IGNORE);
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_GameControllerUpdate();
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i)) {
            continue;
        }
        SDL_GameController* device = SDL_GameControllerOpen(i);
        if (device == nullptr) {
            throw EngineError(std::string("cannot open game controller ") + std::to_string(i) +
                              ": " + SDL_GetError());
        }
        gamepads.push_back(new Gamepad(device));
    }
    currentGamepadManager = this;
}

GamepadManager::~GamepadManager() {
    for (Gamepad* gamepad : gamepads) {
        delete gamepad;
    }
    if (currentGamepadManager == this) {
        currentGamepadManager = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
