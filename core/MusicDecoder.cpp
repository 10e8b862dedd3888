#include "core/MusicDecoder.h"

#include <mpg123.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct HandleCloser {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using DecoderHandle = std::unique_ptr<mpg123_handle, HandleCloser>;

bool fail(std::string& error, const std::string& fileName, const std::string& reason) {
    error = "cannot decode music file \"" + fileName + "\": " + reason;
    return false;
}

} // namespace

bool decodeMusicFile(const std::string& fileName, DecodedMusic& music, std::string& error) {
    music = DecodedMusic();

    // mpg123 only says "error opening the stream"; the system's reason is clearer.
    FILE* probe = fopen(fileName.c_str(), "rb");
    if (probe == nullptr) {
        return fail(error, fileName, strerror(errno));
    }
    fclose(probe);

    // A no-op on current libraries, required by old ones, harmless when repeated.
    mpg123_init();
    int result = MPG123_OK;
    DecoderHandle handle(mpg123_new(nullptr, &result));
    if (!handle) {
        return fail(error, fileName, mpg123_plain_strerror(result));
    }
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // Only one output format is allowed, so mpg123 itself resamples other rates
    // and duplicates mono into both channels.
    mpg123_format_none(handle.get());
    if (mpg123_format(handle.get(), DecodedMusic::rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
        MPG123_OK) {
        return fail(error, fileName, mpg123_strerror(handle.get()));
    }
    if (mpg123_open(handle.get(), fileName.c_str()) != MPG123_OK) {
        return fail(error, fileName, mpg123_strerror(handle.get()));
    }
    // Scanning gives the exact length, so the samples are allocated once.
    if (mpg123_scan(handle.get()) == MPG123_OK) {
        off_t length = mpg123_length(handle.get());
        if (length > 0) {
            music.samples.reserve(static_cast<size_t>(length) * DecodedMusic::channels);
        }
    }

    std::vector<unsigned char> chunk(64 * 1024);
    for (;;) {
        size_t done = 0;
        result = mpg123_read(handle.get(), chunk.data(), chunk.size(), &done);
        if (done > 0) {
            const int16_t* decoded = reinterpret_cast<const int16_t*>(chunk.data());
            music.samples.insert(music.samples.end(), decoded, decoded + done / sizeof(int16_t));
        }
        if (result == MPG123_DONE) {
            break;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            std::string reason = mpg123_strerror(handle.get());
            music = DecodedMusic();
            return fail(error, fileName, reason);
        }
    }
    if (music.frameCount() == 0) {
        return fail(error, fileName, "no MPEG audio frames found");
    }
    // Half a frame would shift the channels of everything after it.
    music.samples.resize(static_cast<size_t>(music.frameCount()) * DecodedMusic::channels);

    mpg123_frameinfo info;
    if (mpg123_info(handle.get(), &info) == MPG123_OK) {
        music.sourceRate = info.rate;
        music.sourceChannels = info.mode == MPG123_M_MONO ? 1 : 2;
    }
    return true;
}
