#include "camera/TrackBank.h"

#include "resources/ByteReader.h"
#include "resources/WholeFile.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

TrackBankRead parseTrackBank(const unsigned char* bytes, size_t size, CameraTrack* tracks) {
    TrackBankRead result;
    result.opened = true;
    result.fileBytes = size;
    // Every count is checked against what is left before anything is read, so
    // the cursor never has to refuse a read.
    ByteReader in(bytes, size);
    int k = 0;
    for (; k < trackBankSize; ++k) {
        if (in.remaining() < 4) {
            result.problem = "the file ends after " + std::to_string(k) + " of " +
                             std::to_string(trackBankSize) + " track records";
            break;
        }
        int32_t count = static_cast<int32_t>(in.u32("key count"));
        if (count < 0) {
            result.problem = "track " + std::to_string(k) + " has a negative key count (" +
                             std::to_string(count) + ")";
            break;
        }
        if (static_cast<size_t>(count) > in.remaining() / crgKeyBytes) {
            result.problem = "track " + std::to_string(k) + " claims " + std::to_string(count) +
                             " keys but only " + std::to_string(in.remaining()) + " bytes are left";
            break;
        }
        CameraTrack& track = tracks[k];
        if (count >= track.capacity) {
            track.resize(count + 10);
        }
        track.count = count;
        for (int i = 0; i < count; ++i) {
            CameraKey& key = track.data[i];
            key.x = in.f32("key x");
            key.y = in.f32("key y");
            key.z = in.f32("key z");
            key.time = in.f32("key time");
            key.mode = static_cast<int32_t>(in.u32("key mode"));
        }
    }
    result.tracksRead = k;
    result.bytesUsed = in.offset();
    for (; k < trackBankSize; ++k) {
        tracks[k].count = 0;
    }
    return result;
}

std::vector<unsigned char> encodeTrackBank(const CameraTrack* tracks) {
    ByteWriter out;
    for (int k = 0; k < trackBankSize; ++k) {
        const CameraTrack& track = tracks[k];
        out.u32(static_cast<uint32_t>(track.count));
        for (int i = 0; i < track.count; ++i) {
            const CameraKey& key = track.data[i];
            out.f32(key.x);
            out.f32(key.y);
            out.f32(key.z);
            out.f32(key.time);
            out.u32(static_cast<uint32_t>(key.mode));
        }
    }
    return out.bytes;
}

TrackBankRead loadTrackBank(const std::string& fileName, CameraTrack* tracks) {
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!readFileBytes(fileName, bytes, reason)) {
        for (int k = 0; k < trackBankSize; ++k) {
            tracks[k].count = 0;
        }
        TrackBankRead result;
        result.problem = reason;
        return result;
    }
    return parseTrackBank(bytes.data(), bytes.size(), tracks);
}

bool readTrackBank(const std::string& fileName, CameraTrack* tracks) {
    TrackBankRead result = loadTrackBank(fileName, tracks);
    if (!result.problem.empty()) {
        fprintf(stderr, "%s: %s; %s\n", fileName.c_str(), result.problem.c_str(),
                result.opened ? "the tracks from there on are left empty"
                              : "every camera track is left empty");
        return false;
    }
    return true;
}

namespace {

// Why a bank that read whole cannot be played; empty when it can.
std::string playbackDamage(const TrackBankRead& read, const CameraTrack* tracks) {
    if (!read.problem.empty()) {
        return read.problem;
    }
    if (read.bytesUsed != read.fileBytes) {
        size_t extra = read.fileBytes - read.bytesUsed;
        return std::to_string(extra) + (extra == 1 ? " byte follows" : " bytes follow") + " the " +
               std::to_string(trackBankSize) + " track records";
    }
    for (int k = 0; k < trackBankSize; ++k) {
        for (int i = 0; i < tracks[k].count; ++i) {
            const CameraKey& key = tracks[k].data[i];
            char where[160];
            snprintf(where, sizeof where, "track %d, key %d (%g, %g, %g at %g s)", k, i, key.x,
                     key.y, key.z, key.time);
            if (!std::isfinite(key.x) || !std::isfinite(key.y) || !std::isfinite(key.z) ||
                !std::isfinite(key.time)) {
                return std::string(where) + ": not a finite number";
            }
            if (i > 0 && key.time < tracks[k].data[i - 1].time) {
                return std::string(where) + ": earlier than the key before it";
            }
        }
    }
    return "";
}

} // namespace

bool readPlaybackBank(const std::string& fileName, CameraTrack* tracks, std::string& error) {
    TrackBankRead read = loadTrackBank(fileName, tracks);
    error = playbackDamage(read, tracks);
    if (error.empty()) {
        return true;
    }
    for (int k = 0; k < trackBankSize; ++k) {
        tracks[k].count = 0;
    }
    return false;
}

bool writeTrackBank(const std::string& fileName, const CameraTrack* tracks) {
    std::vector<unsigned char> bytes = encodeTrackBank(tracks);
    std::string temporary = fileName + ".tmp";
    std::string failure;

    // A temporary left by an interrupted save is stale; anything else standing
    // there (a folder) makes the exclusive create below fail and is reported.
    unlink(temporary.c_str());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure = "cannot create " + temporary + ": " + strerror(errno);
    } else {
        if (!writeAll(fd, bytes.data(), bytes.size())) {
            failure = "cannot write " + temporary + ": " + strerror(errno);
        } else if (fsync(fd) != 0) {
            failure = "cannot flush " + temporary + ": " + strerror(errno);
        }
        if (close(fd) != 0 && failure.empty()) {
            failure = "cannot close " + temporary + ": " + strerror(errno);
        }
        if (failure.empty() && rename(temporary.c_str(), fileName.c_str()) != 0) {
            failure = "cannot replace it with " + temporary + ": " + strerror(errno);
        }
        if (!failure.empty()) {
            unlink(temporary.c_str());
        }
    }
    if (!failure.empty()) {
        fprintf(stderr, "%s: camera tracks not saved: %s\n", fileName.c_str(), failure.c_str());
        return false;
    }
    return true;
}
