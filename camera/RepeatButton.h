#pragma once

// Turns a held button into repeated actions: one on the first frame it is down,
// then one every interval seconds while it stays down.
struct RepeatButton {
    explicit RepeatButton(float interval_) : interval(interval_) {}

    void update(bool down, float frameDelta);
    // Whether an action is due; taking it clears it.
    bool take();

    float timer = 0.0f;
    float interval;
    unsigned char fired = 0;
};
