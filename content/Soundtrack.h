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

// Encodes the song (interleaved stereo floats at 44.1 kHz) as "data/music.mp3"
// is written: 192 kbit/s with a gapless tag.
std::vector<unsigned char> encodeSoundtrack(const std::vector<float>& interleaved);
