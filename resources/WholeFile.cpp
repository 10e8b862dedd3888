#include "resources/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISFIFO(mode)) {
        return "a pipe";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "of an unknown kind";
}

std::string limitText(uint64_t maxBytes) {
    return std::to_string(maxBytes) + " bytes (" + std::to_string(maxBytes >> 20) + " MiB)";
}

// Reads to the end of fd, one block at a time: the size a file reported when
// it was opened is not trusted, as it may grow.
template <typename Bytes>
bool readAll(int fd, uint64_t maxBytes, Bytes& bytes, std::string& error) {
    bytes.clear();
    char block[65536];
    for (;;) {
        ssize_t n = read(fd, block, sizeof block);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("cannot read: ") + strerror(errno);
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (bytes.size() + static_cast<uint64_t>(n) > maxBytes) {
            error = "too large: more than the limit of " + limitText(maxBytes);
            return false;
        }
        bytes.insert(bytes.end(), block, block + n);
    }
}

bool refuseNul(const std::string& text, std::string& error) {
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        error = "not text: contains a NUL byte at offset " + std::to_string(nul);
        return false;
    }
    return true;
}

} // namespace

int openInputFile(const std::string& path, uint64_t maxBytes, std::string& error) {
    // Without O_NONBLOCK, opening a named pipe would wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = std::string("cannot open: ") + strerror(errno);
        return -1;
    }
    struct stat status;
    if (fstat(fd, &status) != 0) {
        error = std::string("cannot read: ") + strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        error = std::string("not a regular file: it is ") + kindOf(status.st_mode);
    } else if (static_cast<uint64_t>(status.st_size) > maxBytes) {
        error = "too large: " + std::to_string(status.st_size) + " bytes, the limit is " +
                limitText(maxBytes);
    } else {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    close(fd);
    return -1;
}

namespace {

// Opens path through openInputFile and reads it to its end; `check`, when
// given, refuses what the whole holds. Nothing is kept of a file refused.
template <typename Bytes>
bool readWholeFile(const std::string& path, Bytes& bytes, std::string& error, uint64_t maxBytes,
                   bool (*check)(const Bytes&, std::string&) = nullptr) {
    bytes.clear();
    int fd = openInputFile(path, maxBytes, error);
    if (fd < 0) {
        return false;
    }
    bool ok = readAll(fd, maxBytes, bytes, error) && (check == nullptr || check(bytes, error));
    close(fd);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

} // namespace

bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes, std::string& error,
                   uint64_t maxBytes) {
    return readWholeFile(path, bytes, error, maxBytes);
}

bool readTextFile(const std::string& path, std::string& text, std::string& error,
                  uint64_t maxBytes) {
    return readWholeFile(path, text, error, maxBytes, refuseNul);
}

bool readTextStream(int fd, std::string& text, std::string& error, uint64_t maxBytes) {
    bool ok = readAll(fd, maxBytes, text, error) && refuseNul(text, error);
    if (!ok) {
        text.clear();
    }
    return ok;
}

bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes,
                    std::string& error) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::string("cannot create: ") + strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int reason = errno;
    if (fclose(file) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        error = std::string("cannot write: ") + strerror(reason);
    }
    return ok;
}
