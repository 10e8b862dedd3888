#pragma once

#include "core/MusicDecoder.h"
#include "core/MusicSpectrum.h"

#include <cstdint>

// The one soundtrack stream: the decoded frames, the play cursor the audio device
// pulls from, and what is being heard at a given moment. Times are seconds of a
// steady clock the caller reads; the stream keeps no clock of its own, so that
// playback and offline rendering run through the same code. Not thread-safe: the
// caller serialises the device's pulls against the control calls.
class MusicStream {
public:
    explicit MusicStream(DecodedMusic decoded);

    const DecodedMusic& music() const { return decoded; }
    int64_t frameCount() const { return decoded.frameCount(); }

    // seconds x 176400 rounded to a byte position, clamped to the stream.
    int64_t bytePosition(double seconds) const;

    void play(double seconds, double now);
    void seek(double seconds, double now);
    void pause(double now);
    void resume(double now);
    // 0 silent to 100 full; values outside are clamped.
    void setVolume(int volume);
    int volume() const { return volumePercent; }
    bool running() const { return isRunning; }

    // The device takes the next frames: the stream at the volume, silence while
    // paused or past the end (the clock goes on past the end, so that a demo
    // longer than its soundtrack still reaches its length).
    void handTo(int16_t* out, int frames, double now);

    // Frames the device may still hold in front of a buffer it has just taken
    // (0 when it plays a buffer from the moment it takes it).
    void setDeviceDelay(int frames);

    // What the listener hears: frames handed to the device, less what it has not
    // played of the last buffer and the device delay; never before the frame
    // playback was last placed at (play, seek, pause, resume), while the device
    // plays out what it held from before.
    double heardFrame(double now) const;

    // Frames and seconds of the clock; a negative or NaN time is the start.
    static double frameAt(double seconds);
    static float secondsAt(double frame);
    // The spectrum of the 512 frames heard up to frame.
    void spectrumAt(double frame, float* magnitudes);

private:
    int64_t frameFor(double seconds) const;

    DecodedMusic decoded;
    MusicSpectrum analyser;
    // Next frame the device will be handed.
    int64_t cursor = 0;
    // First frame of the buffer handed last, and when it was handed.
    int64_t bufferStart = 0;
    double bufferTime = 0.0;
    // Where play, seek, pause or resume last put the playback.
    int64_t placedFrame = 0;
    int deviceDelay = 0;
    bool isRunning = false;
    int volumePercent = 100;
};
