#include "content/OutputFolder.h"
#include "content/Soundtrack.h"
#include "content/Synth.h"

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

} // namespace

std::vector<unsigned char> encodeMp3(const std::vector<float>& interleaved) {
    LameHandle lame;
    if (!lame.flags)
        throw ContentError("data/music.mp3: cannot start the MP3 encoder");
    lame_set_in_samplerate(lame.flags, kSampleRate);
    lame_set_out_samplerate(lame.flags, kSampleRate);
    lame_set_num_channels(lame.flags, 2);
    lame_set_mode(lame.flags, JOINT_STEREO);
    lame_set_brate(lame.flags, 192);
    lame_set_quality(lame.flags, 5);
    // The tag frame carries the encoder delay, which lets decoders trim it, so the
    // song's first sample is heard at time zero and the sections meet the cuts.
    lame_set_bWriteVbrTag(lame.flags, 1);
    if (lame_init_params(lame.flags) < 0)
        throw ContentError("data/music.mp3: the MP3 encoder rejected its settings");

    const size_t frames = interleaved.size() / 2;
    const int chunk = 8192;
    std::vector<float> left(chunk), right(chunk);
    std::vector<unsigned char> encoded, scratch(static_cast<size_t>(1.25 * chunk) + 7200);
    for (size_t start = 0; start < frames; start += chunk) {
        const int count = static_cast<int>(std::min<size_t>(chunk, frames - start));
        for (int i = 0; i < count; ++i) {
            left[i] = interleaved[2 * (start + i)];
            right[i] = interleaved[2 * (start + i) + 1];
        }
        const int bytes =
            lame_encode_buffer_ieee_float(lame.flags, left.data(), right.data(), count,
                                          scratch.data(), static_cast<int>(scratch.size()));
        if (bytes < 0)
            throw ContentError("data/music.mp3: MP3 encoding failed");
        encoded.insert(encoded.end(), scratch.begin(), scratch.begin() + bytes);
    }
    const int tail =
        lame_encode_flush(lame.flags, scratch.data(), static_cast<int>(scratch.size()));
    if (tail < 0)
        throw ContentError("data/music.mp3: MP3 encoding failed at the end");
    encoded.insert(encoded.end(), scratch.begin(), scratch.begin() + tail);

    // The encoder left room for the tag in the first frame; fill it in now.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(lame.flags, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= encoded.size())
        std::memcpy(encoded.data(), tag, tagSize);
    return encoded;
}
