#pragma once

#include <cstdint>

struct kiss_fftr_state;

// The 256 magnitudes the effects read: an FFT of the 512 most recent stereo
// frames (both channels mixed) under a Hann window, scaled so that a full-scale
// sine at the centre of a bin reads 1.0 there and silence reads 0. Everything is
// allocated at construction; analyse() allocates nothing.
class MusicSpectrum {
public:
    static constexpr int windowSize = 512;
    static constexpr int binCount = 256;

    MusicSpectrum();
    ~MusicSpectrum();
    MusicSpectrum(const MusicSpectrum&) = delete;
    MusicSpectrum& operator=(const MusicSpectrum&) = delete;

    // samples: interleaved stereo, frameCount frames. The window ends just before
    // endFrame; frames outside the stream count as silence.
    void analyse(const int16_t* samples, int64_t frameCount, int64_t endFrame, float* magnitudes);

private:
    kiss_fftr_state* plan = nullptr;
    float window[windowSize];
    float input[windowSize];
    // kiss_fft_cpx pairs, windowSize / 2 + 1 of them.
    float output[windowSize + 2];
    float scale = 0.0f;
};
