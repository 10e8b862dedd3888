#pragma once

#include <vector>

// The scene changes the soundtrack follows, in seconds on the demo clock.
namespace SongTime {
constexpr double kCity = 25.55;
constexpr double kClouds = 49.78;
constexpr double kSecondSea = 82.55;
constexpr double kGreetings = 106.55;
constexpr double kPlanet = 130.55;
constexpr double kMetaballs = 154.55;
constexpr double kOutro = 178.0;
constexpr double kMetaballsEnd = 178.55;
constexpr double kLength = 192.0;
} // namespace SongTime

// Composes and synthesises the whole song: interleaved stereo floats at 44.1 kHz.
std::vector<float> renderSoundtrack();

// Encodes interleaved stereo floats at 44.1 kHz as a constant-bit-rate MP3 with
// a gapless tag, so decoders start exactly at the first sample.
std::vector<unsigned char> encodeMp3(const std::vector<float>& interleaved);
