#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Encodes interleaved float samples (1 or 2 channels, full scale at 1.0) as a
// constant-bit-rate MP3 with LAME's info tag, which lets decoders drop the
// encoder delay and padding, so the decoded audio starts at the first sample.
// Returns an empty buffer with the reason in error when encoding fails.
std::vector<unsigned char> encodeMp3(const float* interleaved, size_t frames, int channels,
                                     int sampleRate, int kilobitsPerSecond, std::string& error);
