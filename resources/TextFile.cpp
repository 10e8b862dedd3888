#include "resources/TextFile.h"

#include "platform/Fatal.h"
#include "resources/ByteReader.h"

TextFile::TextFile(const std::string& fileName) {
    std::vector<unsigned char> content;
    std::string error;
    if (!readFileBytes(fileName, content, error)) {
        fatalError("TextFile", fileName + ": " + error);
    }
    bytes.assign(content.begin(), content.end());
    bytes.push_back('\0');
}
