#include "core/Music.h"

// Placeholder until the decoder and audio back end land: there is never a
// stream, so the demo runs on its timer.
void Music::init(void*) {}
void Music::open(const char*) {}
void Music::play(double) {}
void Music::pause() {}
void Music::resume() {}
void Music::setVolume(int) {}
void Music::seek(double) {}
float Music::position() { return 0.0f; }
void Music::spectrum(float* magnitudes) {
    for (int i = 0; i < 256; ++i) {
        magnitudes[i] = 0.0f;
    }
}
bool Music::hasStream() { return false; }
void Music::enableVirtualMode() {}
void Music::setVirtualPosition(double) {}
