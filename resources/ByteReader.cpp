#include "resources/ByteReader.h"

#include <cstring>

ByteReader::ByteReader(const unsigned char* data_, size_t size_) : data(data_), size(size_) {}

void ByteReader::need(uint64_t n, const char* what) const {
    if (n > remaining()) {
        throw FormatError("file ends early: " + std::string(what) + " needs " + std::to_string(n) +
                          " bytes at offset " + std::to_string(position) + ", only " +
                          std::to_string(remaining()) + " remain");
    }
}

const unsigned char* ByteReader::bytes(size_t n, const char* what) {
    need(n, what);
    const unsigned char* start = data + position;
    position += n;
    return start;
}

uint8_t ByteReader::u8(const char* what) {
    return *bytes(1, what);
}

uint32_t ByteReader::u32(const char* what) {
    const unsigned char* p = bytes(4, what);
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

float ByteReader::f32(const char* what) {
    uint32_t bits = u32(what);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

std::string ByteReader::string(const char* what) {
    size_t at = position;
    uint32_t length = u32(what);
    if (length > remaining()) {
        throw FormatError(std::string(what) + " at offset " + std::to_string(at) + " claims " +
                          std::to_string(length) + " bytes, only " + std::to_string(remaining()) +
                          " remain");
    }
    const unsigned char* p = bytes(length, what);
    return std::string(reinterpret_cast<const char*>(p), length);
}

uint32_t ByteReader::count(const char* what, size_t minItemBytes) {
    size_t at = position;
    uint32_t n = u32(what);
    uint64_t needed = static_cast<uint64_t>(n) * minItemBytes;
    if (needed > remaining()) {
        throw FormatError(std::string(what) + " " + std::to_string(n) + " at offset " +
                          std::to_string(at) + " is impossible: it needs at least " +
                          std::to_string(needed) + " bytes, only " + std::to_string(remaining()) +
                          " remain");
    }
    return n;
}

void ByteWriter::u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void ByteWriter::f32(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    u32(bits);
}

void ByteWriter::string(const std::string& value) {
    u32(static_cast<uint32_t>(value.size()));
    raw(value.data(), value.size());
}

void ByteWriter::raw(const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), p, p + n);
}
