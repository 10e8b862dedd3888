#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes interleaved 16-bit PCM (1 or 2 channels) as a constant-bit-rate MP3 with
// LAME's info tag, which lets decoders drop the encoder delay and padding so the
// decoded audio lines up with the input sample for sample. Returns false with a
// reason naming the file on failure.
bool encodeMp3(const std::string& fileName, const std::vector<int16_t>& samples, int channels,
               int sampleRate, std::string* error = nullptr, int kilobitsPerSecond = 192);

// Appends seconds of a sine (frequency in Hz, amplitude 1.0 = full scale) to
// interleaved samples, the same in every channel.
void appendTone(std::vector<int16_t>& samples, int channels, int sampleRate, double seconds,
                double frequency, double amplitude);
