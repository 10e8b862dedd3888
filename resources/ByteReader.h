#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A damaged binary file: the text says what was wrong and where.
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

// A little-endian cursor over a byte buffer that knows how much is left. Every
// read checks the bytes that remain first and throws a FormatError naming the
// field instead of reading past the end.
class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size);

    size_t offset() const { return position; }
    size_t remaining() const { return size - position; }

    uint8_t u8(const char* what);
    uint32_t u32(const char* what);
    float f32(const char* what);
    // A 32-bit length followed by that many bytes, no terminator.
    std::string string(const char* what);
    // The next n bytes, which stay owned by the buffer.
    const unsigned char* bytes(size_t n, const char* what);
    // A 32-bit count of items that take at least minItemBytes each; a count the
    // remaining bytes cannot hold is rejected before anyone allocates for it.
    uint32_t count(const char* what, size_t minItemBytes);
    // Rejects the file unless n more bytes remain.
    void need(uint64_t n, const char* what) const;

private:
    const unsigned char* data;
    size_t size;
    size_t position = 0;
};

// The writing side of the same encoding.
class ByteWriter {
public:
    void u8(uint8_t value) { bytes.push_back(value); }
    void u32(uint32_t value);
    void f32(float value);
    void string(const std::string& value);
    void raw(const void* data, size_t n);

    std::vector<unsigned char> bytes;
};
