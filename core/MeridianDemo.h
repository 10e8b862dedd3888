#pragma once

#include "core/Demo.h"

// The production: the settings of "Meridian" and its timeline of scenes.
class MeridianDemo : public Demo {
public:
    MeridianDemo();
    void buildTimeline() override;
};
