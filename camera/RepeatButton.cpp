#include "camera/RepeatButton.h"

void RepeatButton::update(bool down, float frameDelta) {
    if (timer <= 0.0f && down) {
        timer = interval;
        fired = 1;
    } else if (fired == 0 && !down) {
        timer = 0.0f;
    }
    timer -= frameDelta;
}

bool RepeatButton::take() {
    if (fired == 0) {
        return false;
    }
    fired = 0;
    return true;
}
