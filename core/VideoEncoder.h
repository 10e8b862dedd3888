#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// An encoder program (ffmpeg) fed raw frames through a pipe. It runs in a process
// group of its own, so that Ctrl-C in a terminal reaches only the capture tool,
// which then closes the pipe and lets the encoder finish a playable file. A
// write to an encoder that has died fails with a message instead of killing the
// process with SIGPIPE.
class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Starts `arguments` (the program first, looked up on PATH) with its
    // standard input on the pipe. On failure returns false with the reason.
    bool start(const std::vector<std::string>& arguments, std::string& error);
    // Writes one frame's bytes; false once the encoder has stopped reading.
    bool write(const void* bytes, size_t size);
    // Closes the pipe and waits for the encoder: true when it ended with status
    // 0, else false with how it ended in error.
    bool finish(std::string& error);
    bool running() const { return process > 0; }

private:
    pid_t process = -1;
    int pipe = -1;
};

// Whether a program is on PATH.
bool haveProgram(const char* name);

// Why a file cannot be written at path (its folder is missing or not
// writable, or path names a folder); empty when it can.
std::string unwritablePath(const std::string& path);
