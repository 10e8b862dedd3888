#include "content/OutputFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

OutputFolder::OutputFolder(std::string rootPath) : root(std::move(rootPath)) {}

std::string OutputFolder::pathOf(const std::string& relativePath) const {
    return root + "/" + relativePath;
}

void OutputFolder::write(const std::string& relativePath, const std::vector<unsigned char>& bytes) {
    writeRaw(relativePath, bytes.data(), bytes.size());
}

void OutputFolder::write(const std::string& relativePath, const std::string& text) {
    writeRaw(relativePath, text.data(), text.size());
}

void OutputFolder::writeRaw(const std::string& relativePath, const void* data, size_t size) {
    const std::string path = pathOf(relativePath);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        throw ContentError(path + ": cannot create its folder: " + error.message());

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw ContentError(path + ": cannot open for writing: " + std::strerror(errno));
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    const int writeErrno = errno;
    // A full disk may only show when the buffered tail is flushed.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        throw ContentError(path + ": write failed: " + std::strerror(written ? errno : writeErrno));
    ++count;
}
