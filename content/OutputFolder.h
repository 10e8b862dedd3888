#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A file of the data folder could not be made; the message names the file and why.
class ContentError : public std::runtime_error {
public:
    explicit ContentError(const std::string& what) : std::runtime_error(what) {}
};

// The folder the generator writes into. Paths are relative ("data/cloud.png");
// missing folders are created on the way.
class OutputFolder {
public:
    explicit OutputFolder(std::string root);

    void write(const std::string& relativePath, const std::vector<unsigned char>& bytes);
    void write(const std::string& relativePath, const std::string& text);
    std::string pathOf(const std::string& relativePath) const;
    int filesWritten() const { return count; }

private:
    void writeRaw(const std::string& relativePath, const void* data, size_t size);

    std::string root;
    int count = 0;
};
