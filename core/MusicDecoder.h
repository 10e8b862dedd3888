#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A soundtrack decoded in full: interleaved stereo 16-bit frames at 44.1 kHz,
// whatever rate and channel count the file itself has.
struct DecodedMusic {
    static constexpr int rate = 44100;
    static constexpr int channels = 2;
    static constexpr int bytesPerSecond = rate * channels * 2;

    std::vector<int16_t> samples;
    long sourceRate = 0;
    int sourceChannels = 0;

    int64_t frameCount() const { return static_cast<int64_t>(samples.size()) / channels; }
    double seconds() const { return static_cast<double>(frameCount()) / rate; }
};

// Decodes the whole MP3 file up front, so that every position in it is exact.
// Returns false with a reason naming the file when it cannot be read or holds no
// audio.
bool decodeMusicFile(const std::string& fileName, DecodedMusic& music, std::string& error);
