#include "support/Mp3Encoder.h"

#include "content/Mp3Encoder.h"
#include "resources/WholeFile.h"

#include <cmath>

bool encodeMp3(const std::string& fileName, const std::vector<int16_t>& samples, int channels,
               int sampleRate, std::string* error, int kilobitsPerSecond) {
    std::vector<float> interleaved(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        interleaved[i] = samples[i] / 32768.0f;
    }
    std::string reason;
    std::vector<unsigned char> encoded =
        channels > 0 ? ::encodeMp3(interleaved.data(), samples.size() / channels, channels,
                                   sampleRate, kilobitsPerSecond, reason)
                     : std::vector<unsigned char>();
    if (channels <= 0) {
        reason = "no channels";
    }
    if (encoded.empty() || !writeFileBytes(fileName, encoded, reason)) {
        if (error != nullptr) {
            *error = "cannot write MP3 \"" + fileName + "\": " + reason;
        }
        return false;
    }
    return true;
}

void appendTone(std::vector<int16_t>& samples, int channels, int sampleRate, double seconds,
                double frequency, double amplitude) {
    const long frames = std::lround(seconds * sampleRate);
    for (long i = 0; i < frames; ++i) {
        double value = amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * i / sampleRate);
        for (int c = 0; c < channels; ++c) {
            samples.push_back(static_cast<int16_t>(std::lround(value)));
        }
    }
}
