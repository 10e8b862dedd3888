#pragma once

#include <string>

class Demo;

// Base of every timeline item. An effect loads once behind the loading screen and
// renders every frame while the current time lies in one of its slots. A nested
// effect (a lens flare, a flower) reads its parent's local time and is drawn by
// its owner, never by the timeline.
class Effect {
public:
    // A top-level effect: reads the demo's clock.
    explicit Effect(Demo* demo);
    // A nested effect, owned and rendered by parent: reads the parent's local time.
    explicit Effect(Effect* parent);

    virtual void load() {}
    virtual void render() {}
    // For a seek, which passes over frames without drawing them: carry over
    // one such frame what a drawn frame leaves for the next (an accumulator, a
    // field kept from frame to frame), and draw nothing. Most effects keep
    // nothing of theirs from frame to frame.
    virtual void skip() {}
    // Puts what frames carry over back as it stands before the first frame.
    virtual void rewind() {}

    // Sets start, duration, localTime and fraction from the time source, then renders.
    void renderSpan(float start, float duration);

    float* timeSource = nullptr;
    float* frameDelta = nullptr;
    float* spectrum = nullptr;
    float localTime = 0.0f;
    float start = 0.0f;
    float duration = 0.0f;
    float fraction = 0.0f;
    Demo* demo = nullptr;
    std::string name;
};

// One slot on the timeline: the effect renders while start <= time < start + duration.
struct TimelineEntry {
    float start;
    float duration;
    Effect* effect;
};
