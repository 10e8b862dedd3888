#include "core/Effect.h"

#include "core/Demo.h"

Effect::Effect(Demo* demo_)
    : timeSource(&demo_->time), frameDelta(&demo_->frameDelta), spectrum(demo_->spectrum),
      demo(demo_), name("Untitled effect") {
    demo->addEffect(this);
}

Effect::Effect(Effect* parent)
    : timeSource(&parent->localTime), frameDelta(parent->frameDelta), spectrum(parent->spectrum),
      demo(parent->demo) {
    demo->addEffect(this);
}

void Effect::renderSpan(float start_, float duration_) {
    start = start_;
    duration = duration_;
    localTime = *timeSource - start;
    fraction = localTime / duration;
    render();
}
