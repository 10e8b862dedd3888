#include "core/VideoEncoder.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

VideoEncoder::~VideoEncoder() {
    std::string ignored;
    finish(ignored);
}

bool VideoEncoder::start(const std::vector<std::string>& arguments, int rowBytes_, int rows_,
                         std::string& error) {
    rowBytes = rowBytes_;
    rows = rows_;
    // A dead reader must show as a failed write, not end this process.
    signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The child starts with default signal handling, SIGPIPE included.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned =
        posix_spawnp(&process, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        process = -1;
        error = "cannot start " + arguments[0] + ": " + strerror(spawned);
        return false;
    }
    pipe = ends[1];
    // Three frames: one being written, one waiting, one being filled.
    slots.assign(3, std::vector<unsigned char>(static_cast<size_t>(rowBytes) * rows));
    first = queued = 0;
    closing = failed = false;
    writer = std::thread(&VideoEncoder::writeQueued, this);
    return true;
}

bool VideoEncoder::submitFlipped(const unsigned char* bottomRowFirst) {
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [this] { return failed || queued < static_cast<int>(slots.size()); });
    if (failed) {
        return false;
    }
    std::vector<unsigned char>& slot = slots[(first + queued) % slots.size()];
    held.unlock();
    // The slot is the filler's alone until it is counted in.
    for (int row = 0; row < rows; ++row) {
        memcpy(slot.data() + static_cast<size_t>(row) * rowBytes,
               bottomRowFirst + static_cast<size_t>(rows - 1 - row) * rowBytes,
               static_cast<size_t>(rowBytes));
    }
    held.lock();
    ++queued;
    changed.notify_all();
    return true;
}

void VideoEncoder::writeQueued() {
    std::unique_lock<std::mutex> held(lock);
    for (;;) {
        changed.wait(held, [this] { return queued > 0 || closing; });
        if (queued == 0) {
            return;
        }
        const std::vector<unsigned char>& slot = slots[first];
        held.unlock();
        const bool written = write(slot.data(), slot.size());
        held.lock();
        first = (first + 1) % static_cast<int>(slots.size());
        --queued;
        if (!written) {
            // Nothing more goes out; the filler learns at its next frame.
            failed = true;
            queued = 0;
        }
        changed.notify_all();
        if (failed) {
            return;
        }
    }
}

bool VideoEncoder::write(const void* bytes, size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size > 0 && pipe >= 0) {
        const ssize_t written = ::write(pipe, next, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return size == 0;
}

bool VideoEncoder::finish(std::string& error) {
    if (writer.joinable()) {
        {
            std::lock_guard<std::mutex> held(lock);
            closing = true;
        }
        changed.notify_all();
        writer.join();
    }
    if (pipe >= 0) {
        close(pipe);
        pipe = -1;
    }
    if (process <= 0) {
        return true;
    }
    int status = 0;
    while (waitpid(process, &status, 0) < 0 && errno == EINTR) {
    }
    process = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    if (WIFEXITED(status)) {
        error = "the encoder ended with status " + std::to_string(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        error = std::string("the encoder was killed by ") + strsignal(WTERMSIG(status));
    } else {
        error = "the encoder ended abnormally";
    }
    return false;
}

bool runProgram(const std::vector<std::string>& arguments, std::string& error) {
    // An encoder fed nothing: its standard input ends at once.
    VideoEncoder program;
    return program.start(arguments, 0, 0, error) && program.finish(error);
}

bool haveProgram(const char* name) {
    const char* path = getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::string folders = path;
    size_t begin = 0;
    while (begin <= folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
        const std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

std::string unwritablePath(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path file = fs::absolute(path);
    std::error_code failed;
    if (fs::is_directory(file, failed)) {
        return "it is a folder";
    }
    const fs::path folder = file.parent_path();
    if (!fs::exists(folder, failed)) {
        return "its folder " + folder.string() + " does not exist";
    }
    if (!fs::is_directory(folder, failed)) {
        return folder.string() + " is not a folder";
    }
    if (access(folder.c_str(), W_OK) != 0) {
        return "its folder " + folder.string() + " is not writable: " + strerror(errno);
    }
    return "";
}
