#include "platform/ProgramFolder.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

bool changeToProgramFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        fprintf(stderr, "cannot find the program's folder: %s\n", strerror(errno));
        return false;
    }
    path[length] = '\0';
    std::string folder(path);
    folder.erase(folder.find_last_of('/') + 1);
    if (chdir(folder.c_str()) != 0) {
        fprintf(stderr, "cannot change to %s: %s\n", folder.c_str(), strerror(errno));
        return false;
    }
    return true;
}
