#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every reader takes its file into memory whole, so each refuses what no real
// input is: a folder, a device or a pipe (which may never end), and a file far
// larger than anything the demo ships or an author makes. The largest shipped
// file, the soundtrack, is under 5 MiB; Cg sources are a few kilobytes.
constexpr uint64_t maxDataFileBytes = uint64_t(256) << 20;
constexpr uint64_t maxTextFileBytes = uint64_t(16) << 20;

// Opens a regular file of at most maxBytes for reading. Returns the descriptor
// (the caller closes it), or -1 with the reason in error (not the name).
int openInputFile(const std::string& path, uint64_t maxBytes, std::string& error);

// Reads a whole file through openInputFile. On failure returns false with the
// reason (not the name).
bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes, std::string& error,
                   uint64_t maxBytes = maxDataFileBytes);

// Reads a text file (a Cg source) as readFileBytes does, and refuses one that
// holds a NUL byte: that is binary data, and a C string would end at it.
bool readTextFile(const std::string& path, std::string& text, std::string& error,
                  uint64_t maxBytes = maxTextFileBytes);

// Reads an open descriptor to its end (standard input, a pipe), refusing more
// than maxBytes and NUL bytes as readTextFile does.
bool readTextStream(int fd, std::string& text, std::string& error,
                    uint64_t maxBytes = maxTextFileBytes);

// Writes a whole file. On failure returns false with the reason (not the name).
bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes,
                    std::string& error);
