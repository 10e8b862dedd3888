#include "content/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>

namespace {

struct LameHandle {
    lame_global_flags* flags = lame_init();
    ~LameHandle() {
        if (flags)
            lame_close(flags);
    }
};

std::vector<unsigned char> failed(std::string& error, const char* reason) {
    error = reason;
    return {};
}

} // namespace

std::vector<unsigned char> encodeMp3(const float* interleaved, size_t frames, int channels,
                                     int sampleRate, int kilobitsPerSecond, std::string& error) {
    if (channels != 1 && channels != 2)
        return failed(error, "only 1 or 2 channels can be encoded");
    LameHandle lame;
    if (!lame.flags)
        return failed(error, "cannot start the MP3 encoder");
    lame_set_in_samplerate(lame.flags, sampleRate);
    lame_set_out_samplerate(lame.flags, sampleRate);
    lame_set_num_channels(lame.flags, channels);
    lame_set_mode(lame.flags, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.flags, kilobitsPerSecond);
    lame_set_quality(lame.flags, 5);
    // The tag frame carries the encoder delay, which lets decoders trim it, so the
    // first sample is heard at time zero.
    lame_set_bWriteVbrTag(lame.flags, 1);
    if (lame_init_params(lame.flags) < 0)
        return failed(error, "the MP3 encoder rejected the rate, channels or bit rate");

    const int chunk = 8192;
    std::vector<float> left(chunk), right(chunk);
    std::vector<unsigned char> encoded, scratch(static_cast<size_t>(1.25 * chunk) + 7200);
    for (size_t start = 0; start < frames; start += chunk) {
        const int count = static_cast<int>(std::min<size_t>(chunk, frames - start));
        for (int i = 0; i < count; ++i) {
            left[i] = interleaved[channels * (start + i)];
            right[i] = interleaved[channels * (start + i) + channels - 1];
        }
        const int bytes =
            lame_encode_buffer_ieee_float(lame.flags, left.data(), right.data(), count,
                                          scratch.data(), static_cast<int>(scratch.size()));
        if (bytes < 0)
            return failed(error, "MP3 encoding failed");
        encoded.insert(encoded.end(), scratch.begin(), scratch.begin() + bytes);
    }
    const int tail =
        lame_encode_flush(lame.flags, scratch.data(), static_cast<int>(scratch.size()));
    if (tail < 0)
        return failed(error, "MP3 encoding failed at the end");
    encoded.insert(encoded.end(), scratch.begin(), scratch.begin() + tail);

    // The encoder left room for the tag in the first frame; fill it in now.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(lame.flags, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= encoded.size())
        std::memcpy(encoded.data(), tag, tagSize);
    return encoded;
}
