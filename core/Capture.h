#pragma once

#include "core/CaptureVideo.h"

#include <string>
#include <vector>

class Demo;

// Offline rendering of a demo through its own frame code on a virtual clock:
// single frames, numbered frame sequences, a video with the soundtrack, and
// per-effect timings.
struct CaptureOptions {
    std::vector<double> at;        // single frames: OUT/at-SECONDS.png
    double from = -1.0, to = -1.0; // a range: OUT/frame-NNNNNN.png, or a video
    double fps = 30.0;
    std::string outFolder = "capture";
    std::string videoFile; // encode the range with ffmpeg instead of writing PNGs
    // The frame's size; 0 the demo's own. Another size draws the same picture at
    // that resolution, centred, with black bars where the shape differs.
    int width = 0, height = 0;
    // Each frame rendered this many times as large each way, then reduced.
    int supersample = 1;
    VideoQuality quality = VideoQuality::Release;
    // --join: the video to write and the pieces to join, in time order.
    std::string joinOutput;
    std::vector<std::string> joinPieces;
    // -1: no sample buffer (renders quickest); 0: the driver's smallest
    // multisample format, as lumora-player; N: at least N samples.
    int samples = -1;
    bool bench = false;
    bool progress = true;
};

// Reads the command line and checks every time against the demo's length, before
// anything is opened; on a mistake returns false with a message in error.
bool parseCaptureOptions(int argc, char** argv, float length, CaptureOptions& options,
                         std::string& error);
extern const char* const captureUsage;

// The most frames one run renders, and the largest frame.
constexpr long maxCaptureFrames = 1000000;
constexpr int maxFrameSide = 8192;

// Opens the demo's window (not fullscreen), loads it with the loading lines,
// puts the music into its virtual mode and renders what the options ask for:
// every frame as the demo shows it when played from 0 at the options' frame
// rate, frames asked for in any order rendered in the order of time. SIGINT and
// SIGTERM stop it after the frame under way, with what was written closed and
// usable. Returns the process exit code (128 + the signal when one stopped it).
int runCapture(Demo& demo, const CaptureOptions& options);

// The name of a single frame's file: at-10.000.png.
std::string atFileName(double seconds);
// The name of frame n of a range: frame-000042.png.
std::string rangeFileName(int frame);
