#pragma once

#include <string>

class Demo;

// What a viewer may choose when the demo plays. Without any option the player
// plays as the demo was made: fullscreen at 800 x 600.
struct PlayerOptions {
    bool window = false; // a window the user may resize, instead of fullscreen
    bool native = false; // fullscreen at the desktop's own resolution
    int width = 0;       // --size: the window's size, or the display mode fullscreen
    int height = 0;
    double start = 0.0; // seconds into the demo, picture and music together
    int samples = -1;   // multisample samples; -1 keeps the program's own
    bool mute = false;
};

// The usage of a player program called `program`.
std::string playerUsage(const std::string& program, int samples);

// Reads the player's options; a mistake throws UsageError. Start times lie from
// 0 up to the demo's length, left out.
PlayerOptions readPlayerOptions(int argc, char** argv, float length);

// Sets the demo up as the options ask, before it runs.
void applyPlayerOptions(const PlayerOptions& options, Demo& demo);
