#include "camera/TrackBank.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A little-endian reader over a byte buffer that knows how much is left.
class ByteCursor {
public:
    ByteCursor(const unsigned char* bytes_, size_t size_) : bytes(bytes_), size(size_) {}

    size_t left() const { return size - offset; }
    size_t used() const { return offset; }

    uint32_t u32() {
        const unsigned char* p = bytes + offset;
        offset += 4;
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        uint32_t bits = u32();
        float value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const unsigned char* bytes;
    size_t size;
    size_t offset = 0;
};

void putU32(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 24));
}

void putF32(std::vector<unsigned char>& out, float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    putU32(out, bits);
}

bool readWholeFile(const std::string& fileName, std::vector<unsigned char>& bytes,
                   std::string& reason) {
    FILE* file = fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        reason = std::string("cannot open: ") + strerror(errno);
        return false;
    }
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file)) > 0) {
        bytes.insert(bytes.end(), block, block + n);
    }
    bool failed = ferror(file) != 0;
    int readErrno = errno;
    fclose(file);
    if (failed) {
        reason = std::string("cannot read: ") + strerror(readErrno);
        return false;
    }
    return true;
}

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
    ByteCursor in(bytes, size);
    int k = 0;
    for (; k < trackBankSize; ++k) {
        if (in.left() < 4) {
            result.problem = "the file ends after " + std::to_string(k) + " of " +
                             std::to_string(trackBankSize) + " track records";
            break;
        }
        int32_t count = in.i32();
        if (count < 0) {
            result.problem = "track " + std::to_string(k) + " has a negative key count (" +
                             std::to_string(count) + ")";
            break;
        }
        if (static_cast<size_t>(count) > in.left() / crgKeyBytes) {
            result.problem = "track " + std::to_string(k) + " claims " + std::to_string(count) +
                             " keys but only " + std::to_string(in.left()) + " bytes are left";
            break;
        }
        CameraTrack& track = tracks[k];
        if (count >= track.capacity) {
            track.resize(count + 10);
        }
        track.count = count;
        for (int i = 0; i < count; ++i) {
            CameraKey& key = track.data[i];
            key.x = in.f32();
            key.y = in.f32();
            key.z = in.f32();
            key.time = in.f32();
            key.mode = in.i32();
        }
    }
    result.tracksRead = k;
    result.bytesUsed = in.used();
    for (; k < trackBankSize; ++k) {
        tracks[k].count = 0;
    }
    return result;
}

std::vector<unsigned char> encodeTrackBank(const CameraTrack* tracks) {
    std::vector<unsigned char> out;
    for (int k = 0; k < trackBankSize; ++k) {
        const CameraTrack& track = tracks[k];
        putU32(out, static_cast<uint32_t>(track.count));
        for (int i = 0; i < track.count; ++i) {
            const CameraKey& key = track.data[i];
            putF32(out, key.x);
            putF32(out, key.y);
            putF32(out, key.z);
            putF32(out, key.time);
            putU32(out, static_cast<uint32_t>(key.mode));
        }
    }
    return out;
}

TrackBankRead loadTrackBank(const std::string& fileName, CameraTrack* tracks) {
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!readWholeFile(fileName, bytes, reason)) {
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
