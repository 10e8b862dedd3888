#pragma once

#include <string>
#include <vector>

// One run of lumora-datagen, shared by every test that reads its output (the
// run takes seconds): kept in the build folder and made again whenever the
// generator or its shader texts change.
struct GeneratedFolder {
    std::string path;
    int exitStatus = -1;
    std::string output;
};
const GeneratedFolder& generatedFolder();

std::vector<unsigned char> readFileBytes(const std::string& path);

// Every file the production reads, with the kind each must be.
enum class FileKind { ColourJpeg, AlphaPng, Text, Binary };
struct ExpectedFile {
    const char* path;
    FileKind kind;
};
const std::vector<ExpectedFile>& expectedFiles();
