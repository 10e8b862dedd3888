#include "core/MusicDecoder.h"

#include "resources/WholeFile.h"

#include <mpg123.h>
#include <unistd.h>

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

// mpg123 leaves a descriptor it was given open.
struct FileCloser {
    int fd;
    ~FileCloser() { close(fd); }
};

// Files far under the byte limit can still decode to more than memory holds
// (a low bit rate, or frames repeated); no soundtrack is longer than this.
constexpr double maxMusicSeconds = 3600.0;

std::string tooLong(double seconds) {
    return "too long: " + std::to_string(static_cast<long>(seconds)) +
           " seconds of sound or more, the limit is " +
           std::to_string(static_cast<long>(maxMusicSeconds));
}

bool fail(std::string& error, const std::string& fileName, const std::string& reason) {
    error = "cannot decode music file \"" + fileName + "\": " + reason;
    return false;
}

} // namespace

bool decodeMusicFile(const std::string& fileName, DecodedMusic& music, std::string& error) {
    music = DecodedMusic();

    // The file is opened and checked here, not by mpg123: its "error opening the
    // stream" says less, and it would decode a device such as /dev/urandom
    // until memory runs out.
    std::string reason;
    int fd = openInputFile(fileName, maxDataFileBytes, reason);
    if (fd < 0) {
        return fail(error, fileName, reason);
    }
    FileCloser closeAtReturn{fd};

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
    if (mpg123_open_fd(handle.get(), fd) != MPG123_OK) {
        return fail(error, fileName, mpg123_strerror(handle.get()));
    }
    // Scanning gives the exact length, so the samples are allocated once.
    if (mpg123_scan(handle.get()) == MPG123_OK) {
        off_t length = mpg123_length(handle.get());
        if (length > maxMusicSeconds * DecodedMusic::rate) {
            return fail(error, fileName, tooLong(static_cast<double>(length) / DecodedMusic::rate));
        }
        if (length > 0) {
            music.samples.reserve(static_cast<size_t>(length) * DecodedMusic::channels);
        }
    }

    std::vector<unsigned char> chunk(64 * 1024);
    for (;;) {
        size_t done = 0;
        result = mpg123_read(handle.get(), chunk.data(), chunk.size(), &done);
        if (music.seconds() > maxMusicSeconds) {
            double seconds = music.seconds();
            music = DecodedMusic();
            return fail(error, fileName, tooLong(seconds));
        }
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
