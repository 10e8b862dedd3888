#pragma once

#include "core/Demo.h"

// The production: the settings of "Meridian" and its timeline of scenes.
class MeridianDemo : public Demo {
public:
    // With cameraEditor the production plays in a window with its camera under
    // the editor's control, so camera paths can be flown and recorded over it.
    explicit MeridianDemo(bool cameraEditor = false);
    void buildTimeline() override;

    bool cameraEditor = false;
};
