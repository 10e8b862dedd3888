#include "resources/TextFile.h"

#include "platform/Fatal.h"
#include "resources/WholeFile.h"

TextFile::TextFile(const std::string& fileName) {
    std::string content;
    std::string error;
    if (!readTextFile(fileName, content, error)) {
        fatalError("TextFile", fileName + ": " + error);
    }
    bytes.assign(content.begin(), content.end());
    bytes.push_back('\0');
}
