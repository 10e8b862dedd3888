#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// An encoder program (ffmpeg) fed raw frames through a pipe. It runs in a process
// group of its own, so that Ctrl-C in a terminal reaches only the capture tool,
// which then closes the pipe and lets the encoder finish a playable file. A
// write to an encoder that has died fails with a message instead of killing the
// process with SIGPIPE. Frames wait in a short queue that a thread of their own
// writes out, so rendering goes on while the encoder takes the frame before.
class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Starts `arguments` (the program first, looked up on PATH) with its
    // standard input on the pipe, for frames of rows x rowBytes bytes. On
    // failure returns false with the reason.
    bool start(const std::vector<std::string>& arguments, int rowBytes, int rows,
               std::string& error);
    // Queues one frame given bottom row first (as GL reads it), to go out top
    // row first; waits while the queue is full. False once the encoder has
    // stopped reading.
    bool submitFlipped(const unsigned char* bottomRowFirst);
    // Writes what is queued, closes the pipe and waits for the encoder: true when
    // it ended with status 0, else false with how it ended in error.
    bool finish(std::string& error);
    bool running() const { return process > 0; }

private:
    void writeQueued();
    bool write(const void* bytes, size_t size);

    pid_t process = -1;
    int pipe = -1;
    int rowBytes = 0, rows = 0;
    // Frames in turn: `queued` of them from `first` on wait for the writer.
    std::vector<std::vector<unsigned char>> slots;
    int first = 0, queued = 0;
    bool closing = false, failed = false;
    std::mutex lock;
    std::condition_variable changed;
    std::thread writer;
};

// Runs a program (looked up on PATH) to its end, its standard input closed;
// false with how it ended in error unless with status 0.
bool runProgram(const std::vector<std::string>& arguments, std::string& error);

// Whether a program is on PATH.
bool haveProgram(const char* name);

// Why a file cannot be written at path (its folder is missing or not
// writable, or path names a folder); empty when it can.
std::string unwritablePath(const std::string& path);
