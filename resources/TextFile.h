#pragma once

#include <string>
#include <vector>

// A whole file followed by one NUL byte (Cg sources are handed on as C strings).
class TextFile {
public:
    // A file that cannot be opened or read, or that is no text (it holds a NUL
    // byte, where the C string would end), ends the program with its name.
    explicit TextFile(const std::string& fileName);

    const char* text() const { return bytes.data(); }
    size_t size() const { return bytes.size() - 1; }

private:
    std::vector<char> bytes;
};
