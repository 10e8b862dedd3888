#include "resources/NmdMaps.h"

#include <cctype>

std::string rebaseMapName(const std::string& name, const std::string& folder) {
    if (name.empty()) {
        return name;
    }
    size_t cut = name.find_last_of("/\\");
    std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) {
        return folder + base;
    }
    return folder + "/" + base;
}

bool isPictureMapName(const std::string& name) {
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string ending = name.substr(dot + 1, 3);
    for (char& c : ending) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return ending == "jpg" || ending == "png";
}
