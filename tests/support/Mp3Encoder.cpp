#include "support/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

bool fail(std::string* error, const std::string& fileName, const std::string& reason) {
    if (error != nullptr) {
        *error = "cannot write MP3 \"" + fileName + "\": " + reason;
    }
    return false;
}

} // namespace

bool encodeMp3(const std::string& fileName, const std::vector<int16_t>& samples, int channels,
               int sampleRate, std::string* error, int kilobitsPerSecond) {
    if (channels != 1 && channels != 2) {
        return fail(error, fileName, "only 1 or 2 channels");
    }
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        return fail(error, fileName, "lame_init failed");
    }
    lame_set_num_channels(lame.get(), channels);
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_mode(lame.get(), channels == 1 ? MONO : STEREO);
    lame_set_brate(lame.get(), kilobitsPerSecond);
    lame_set_quality(lame.get(), 5);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0) {
        return fail(error, fileName, "unsupported rate, channels or bit rate");
    }

    std::unique_ptr<FILE, FileCloser> file(fopen(fileName.c_str(), "wb"));
    if (!file) {
        return fail(error, fileName, strerror(errno));
    }
    constexpr int chunkFrames = 8192;
    std::vector<unsigned char> encoded(chunkFrames * 5 / 4 + 7200);
    std::vector<short> chunk(chunkFrames * channels);
    const size_t frameCount = samples.size() / channels;
    for (size_t first = 0; first < frameCount; first += chunkFrames) {
        const int frames = static_cast<int>(std::min<size_t>(chunkFrames, frameCount - first));
        std::copy(samples.begin() + first * channels, samples.begin() + (first + frames) * channels,
                  chunk.begin());
        int bytes = channels == 2 ? lame_encode_buffer_interleaved(lame.get(), chunk.data(), frames,
                                                                   encoded.data(), encoded.size())
                                  : lame_encode_buffer(lame.get(), chunk.data(), chunk.data(),
                                                       frames, encoded.data(), encoded.size());
        if (bytes < 0 || fwrite(encoded.data(), 1, bytes, file.get()) != size_t(bytes)) {
            return fail(error, fileName, "encoding failed");
        }
    }
    int bytes = lame_encode_flush(lame.get(), encoded.data(), encoded.size());
    if (bytes < 0 || fwrite(encoded.data(), 1, bytes, file.get()) != size_t(bytes)) {
        return fail(error, fileName, "encoding failed");
    }
    // The first frame was written blank; the tag with the final counts replaces it.
    size_t tagBytes = lame_get_lametag_frame(lame.get(), encoded.data(), encoded.size());
    if (tagBytes > 0) {
        if (fseek(file.get(), 0, SEEK_SET) != 0 ||
            fwrite(encoded.data(), 1, tagBytes, file.get()) != tagBytes) {
            return fail(error, fileName, strerror(errno));
        }
    }
    if (fclose(file.release()) != 0) {
        return fail(error, fileName, strerror(errno));
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
