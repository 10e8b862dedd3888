#include "core/MeridianDemo.h"

MeridianDemo::MeridianDemo() {
    length = 189.9f;
    wrapLength = 189.9f;
    volume = 1.0f;
    musicFile = "data/music.mp3";
    width = 800;
    height = 600;
    fullscreen = 1;
    clockStart = 0.0f;
}

void MeridianDemo::buildTimeline() {}
