#include "core/Capture.h"

#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "core/Music.h"
#include "core/VideoEncoder.h"
#include "platform/CommandLine.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/Texture.h"
#include "resources/ImageWriter.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

const char* const captureUsage =
    "usage: lumora-capture [--at SECONDS]... [--from A --to B] [--fps N] [--video FILE]\n"
    "                      [--size WxH] [--out DIR] [--samples N] [--bench] [--quiet]\n"
    "Renders the demo's frames as the player shows them when it plays the demo from\n"
    "the start at N frames a second.\n"
    "  --at SECONDS   render the frame at that time into OUT/at-SECONDS.png (repeatable,\n"
    "                 in any order)\n"
    "  --from, --to   render the frames at multiples of 1/N from A up to B, B left out,\n"
    "                 into OUT/frame-NNNNNN.png\n"
    "  --fps N        frames per second (default 30)\n"
    "  --video FILE   encode the range with ffmpeg, with the soundtrack, instead of PNGs\n"
    "  --size WxH     frames of W x H pixels (default 800x600, the picture as made); the\n"
    "                 picture is drawn at that resolution, centred, with black bars\n"
    "                 where the shape is not 4:3 (up to 8192x8192)\n"
    "  --out DIR      folder for the pictures (default capture)\n"
    "  --samples N    multisample samples of the window: 0 the driver's smallest\n"
    "                 multisample format, as lumora-player (default: none)\n"
    "  --bench        print per-frame and per-effect render times\n"
    "  --quiet        no progress bar\n"
    "  --help         print this and exit\n"
    "Times lie from 0 up to the demo's length. Ctrl-C or SIGTERM stops a render after\n"
    "the frame under way; what was written stays usable.\n";

namespace {

std::string absolute(const std::string& path) {
    return path.empty() ? path : std::filesystem::absolute(path).string();
}

// Per-effect render times, with glFinish around each render so the GPU work is
// counted where it happens. Storage is reserved before the frames.
class EffectTimes : public EffectObserver {
public:
    void reserve(size_t frames) { capacity = frames; }
    void beforeEffect(const Effect&) override {
        glFinish();
        started = std::chrono::steady_clock::now();
    }
    void afterEffect(const Effect& effect) override {
        glFinish();
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
        std::vector<double>& times = byName[effect.name.empty() ? "(nested)" : effect.name];
        if (times.capacity() < capacity) {
            times.reserve(capacity);
        }
        times.push_back(ms);
    }
    std::map<std::string, std::vector<double>> byName;

private:
    size_t capacity = 0;
    std::chrono::steady_clock::time_point started;
};

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times.empty() ? 0.0 : times[times.size() / 2];
}

// Prints the median and 95th percentile of a list of render times, and the
// median as a number of reference passes when one was timed.
void printTimes(const char* what, std::vector<double> times, double referenceMs) {
    if (times.empty()) {
        return;
    }
    std::sort(times.begin(), times.end());
    double middle = times[times.size() / 2];
    double p95 = times[std::min(times.size() - 1, static_cast<size_t>(times.size() * 0.95))];
    printf("bench %s frames=%zu median_ms=%.3f p95_ms=%.3f", what, times.size(), middle, p95);
    if (referenceMs > 0.0) {
        printf(" passes=%.1f", middle / referenceMs);
    }
    printf("\n");
}

// The unit that scene costs are read in: one fullscreen copy of a 1024 x 512
// mipmapped picture over the whole frame, timed in the same context. A ratio to
// it holds from machine to machine where milliseconds do not.
double referencePassMs(Demo& demo) {
    const int width = 1024, height = 512;
    std::vector<unsigned char> picture(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &picture[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(x ^ y);
            p[3] = 255;
        }
    }
    Texture texture(width, height, picture.data(), PixelKind::Rgba8, TextureFilter::Mipmapped);
    bindWindowTarget();
    resetState();
    std::vector<double> times;
    // Passes are timed eight at a time: one alone is short enough for the wait
    // on the rasteriser's threads to weigh in its time, and that wait differs
    // from machine to machine more than the pass does.
    constexpr int batch = 8;
    for (int sample = 0; sample < 21; ++sample) {
        glFinish();
        auto started = std::chrono::steady_clock::now();
        for (int pass = 0; pass < batch; ++pass) {
            demo.copyProgram->draw(&texture);
        }
        glFinish();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count() /
            batch);
    }
    return median(times);
}

class Progress {
public:
    Progress(bool enabled_, int total_) : enabled(enabled_ && total_ > 1), total(total_) {}
    void show(int done) {
        if (!enabled) {
            return;
        }
        int percent = static_cast<int>(100.0 * done / total);
        if (percent == last && done != total) {
            return;
        }
        last = percent;
        lastDone = done;
        char bar[41];
        int filled = 40 * done / total;
        for (int i = 0; i < 40; ++i) {
            bar[i] = i < filled ? '#' : '.';
        }
        bar[40] = '\0';
        fprintf(stderr, "\r[%s] %3d%% frame %d/%d", bar, percent, done, total);
        if (done == total) {
            fputc('\n', stderr);
        }
        fflush(stderr);
    }
    // Ends the bar's line where it stopped short.
    void finish() {
        if (enabled && last >= 0 && lastDone != total) {
            fputc('\n', stderr);
        }
    }

private:
    bool enabled;
    int total;
    int last = -1;
    int lastDone = 0;
};

// The window's picture, read back after a frame: to a PNG, or to the encoder.
class Readback {
public:
    Readback(int width_, int height_)
        : width(width_), height(height_), pixels(static_cast<size_t>(width_) * height_ * 4) {}

    // The back buffer, bottom row first, as RGBA.
    const std::vector<unsigned char>& read() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        // Effects may leave alpha anywhere; the picture is opaque.
        for (size_t i = 3; i < pixels.size(); i += 4) {
            pixels[i] = 255;
        }
        return pixels;
    }

    bool savePng(const std::string& file) {
        read();
        if (!::writePng(file, width, height, 4, pixels.data(), true)) {
            fprintf(stderr, "lumora-capture: cannot write %s\n", file.c_str());
            return false;
        }
        return true;
    }

    // Video frames go out through two pixel buffers, a frame behind: the read
    // of the frame just rendered is started, and the frame before it, whose
    // read has had a whole frame to complete, is written to the encoder. The
    // renderer never waits on the read it has just asked for.
    bool sendBehind(VideoEncoder& encoder) {
        if (packBuffers[0] == 0) {
            glGenBuffers(2, packBuffers);
            for (GLuint buffer : packBuffers) {
                glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
                glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(pixels.size()), nullptr,
                             GL_STREAM_READ);
            }
        }
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers[framesRead % 2]);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        ++framesRead;
        return framesRead < 2 || send(packBuffers[framesRead % 2], encoder);
    }

    // The last frame whose read sendBehind started.
    bool sendLast(VideoEncoder& encoder) {
        return framesRead == 0 || send(packBuffers[(framesRead - 1) % 2], encoder);
    }

private:
    bool send(GLuint buffer, VideoEncoder& encoder) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        const void* frame = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
        const bool sent = frame != nullptr && encoder.write(frame, pixels.size());
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        return sent;
    }

    int width, height;
    std::vector<unsigned char> pixels;
    GLuint packBuffers[2] = {};
    long framesRead = 0;
};

// One frame to render and where it goes: a single frame's PNG (at, an index
// into the options' times) or frame n of the range (rangeFrame).
struct Shot {
    FrameGrid grid;
    long frame = 0;
    int at = -1;
    long rangeFrame = -1;

    double seconds() const { return grid.time(frame); }
    bool sameFrame(const Shot& other) const { return grid == other.grid && frame == other.frame; }
};

// The range's frames on the demo's own grid: the first at or after A, the
// last before B (a frame within a millionth of a frame of B counts as at B).
void rangeFrames(const CaptureOptions& options, long& first, long& end) {
    const double tolerance = 1e-6;
    first = static_cast<long>(std::ceil(options.from * options.fps - tolerance));
    end = static_cast<long>(std::ceil(options.to * options.fps - tolerance));
}

// Every frame the options ask for, in the order of time: the state a frame
// inherits is then built going forward only, and a frame asked for twice is
// rendered once.
std::vector<Shot> planShots(const CaptureOptions& options) {
    std::vector<Shot> shots;
    for (size_t k = 0; k < options.at.size(); ++k) {
        Shot shot;
        shot.grid = FrameGrid::through(options.at[k], options.fps, shot.frame);
        shot.at = static_cast<int>(k);
        shots.push_back(shot);
    }
    if (options.from >= 0.0) {
        long first = 0, end = 0;
        rangeFrames(options, first, end);
        for (long frame = first; frame < end; ++frame) {
            Shot shot;
            shot.grid = FrameGrid{options.fps, 0.0};
            shot.frame = frame;
            shot.rangeFrame = frame - first;
            shots.push_back(shot);
        }
    }
    std::stable_sort(shots.begin(), shots.end(),
                     [](const Shot& a, const Shot& b) { return a.seconds() < b.seconds(); });
    return shots;
}

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) {
    stopSignal = signal;
}

bool stopRequested() {
    return stopSignal != 0;
}

// SIGINT and SIGTERM end the render after the frame under way; a second one
// ends the process at once.
void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::vector<std::string> encoderCommand(const Demo& demo, const CaptureOptions& options,
                                        double firstSecond, double seconds) {
    char size[32], rate[32], offset[32], length[32];
    snprintf(size, sizeof size, "%dx%d", demo.window->bufferWidth, demo.window->bufferHeight);
    snprintf(rate, sizeof rate, "%.17g", options.fps);
    snprintf(offset, sizeof offset, "%.6f", firstSecond);
    snprintf(length, sizeof length, "%.6f", seconds);
    return {"ffmpeg",
            "-nostdin",
            "-v",
            "error",
            "-y",
            "-f",
            "rawvideo",
            "-pix_fmt",
            "rgb0",
            "-s",
            size,
            "-r",
            rate,
            "-i",
            "-",
            "-ss",
            offset,
            "-t",
            length,
            "-i",
            demo.musicFile != nullptr ? demo.musicFile : "/dev/null",
            "-map",
            "0:v",
            "-map",
            "1:a?",
            "-vf",
            "vflip",
            "-c:v",
            "libx264",
            "-preset",
            "superfast",
            "-crf",
            "20",
            "-pix_fmt",
            "yuv420p",
            "-c:a",
            "aac",
            "-b:a",
            "192k",
            "-shortest",
            options.videoFile};
}

} // namespace

std::string atFileName(double seconds) {
    char name[64];
    snprintf(name, sizeof name, "at-%.3f.png", seconds);
    return name;
}

std::string rangeFileName(int frame) {
    char name[64];
    snprintf(name, sizeof name, "frame-%06d.png", frame);
    return name;
}

namespace {

void readCaptureOptions(int argc, char** argv, float length, CaptureOptions& options) {
    CommandLine line(argc, argv);
    while (!line.done()) {
        if (line.option("--at")) {
            options.at.push_back(line.number("--at", -1e300, 1e300));
        } else if (line.option("--from")) {
            options.from = line.number("--from", -1e300, 1e300);
        } else if (line.option("--to")) {
            options.to = line.number("--to", -1e300, 1e300);
        } else if (line.option("--fps")) {
            options.fps = line.number("--fps", 1e-3, 1000.0);
        } else if (line.option("--samples")) {
            options.samples = static_cast<int>(line.integer("--samples", 0, 16));
        } else if (line.option("--size")) {
            line.size("--size", 16, maxFrameSide, options.width, options.height);
        } else if (line.option("--out")) {
            options.outFolder = line.value("--out");
        } else if (line.option("--video")) {
            options.videoFile = line.value("--video");
        } else if (line.option("--bench")) {
            options.bench = true;
        } else if (line.option("--quiet")) {
            options.progress = false;
        } else {
            line.refuseNext();
        }
    }

    char end[32];
    snprintf(end, sizeof end, "%.2f s", length);
    for (double seconds : options.at) {
        if (seconds < 0.0 || static_cast<float>(seconds) >= length) {
            char at[64];
            snprintf(at, sizeof at, "--at %g", seconds);
            throw UsageError(at + std::string(" lies outside the demo (0 to ") + end +
                             ", the end left out)");
        }
    }
    const bool range = options.from != -1.0 || options.to != -1.0;
    if (range) {
        if (options.from < 0.0 || options.to < 0.0) {
            throw UsageError("a range needs both --from and --to, neither negative");
        }
        if (!(options.to > options.from)) {
            throw UsageError("--to must lie after --from");
        }
        if (static_cast<float>(options.from) >= length || static_cast<float>(options.to) > length) {
            throw UsageError(std::string("the range must lie within the demo (0 to ") + end + ")");
        }
        long first = 0, last = 0;
        rangeFrames(options, first, last);
        if (last - first > maxCaptureFrames) {
            throw UsageError("the range holds " + std::to_string(last - first) +
                             " frames, more than " + std::to_string(maxCaptureFrames));
        }
        if (last <= first) {
            char rate[64];
            snprintf(rate, sizeof rate, "%g", options.fps);
            throw UsageError(std::string("the range holds no frame at ") + rate +
                             " frames a second");
        }
    }
    if (!options.videoFile.empty()) {
        if (!range) {
            throw UsageError("--video needs --from and --to");
        }
        const std::string why = unwritablePath(options.videoFile);
        if (!why.empty()) {
            throw UsageError("cannot write the video " + options.videoFile + ": " + why);
        }
    }
    if (options.at.empty() && !range) {
        throw UsageError("nothing to render: give --at or --from and --to");
    }
    options.outFolder = absolute(options.outFolder);
    options.videoFile = absolute(options.videoFile);
}

} // namespace

bool parseCaptureOptions(int argc, char** argv, float length, CaptureOptions& options,
                         std::string& error) {
    try {
        readCaptureOptions(argc, argv, length, options);
        return true;
    } catch (const UsageError& mistake) {
        error = mistake.what();
        return false;
    }
}

int runCapture(Demo& demo, const CaptureOptions& options) {
    const bool writesPictures = !options.at.empty() || options.videoFile.empty();
    if (writesPictures) {
        std::error_code failed;
        std::filesystem::create_directories(options.outFolder, failed);
        if (failed) {
            fprintf(stderr, "lumora-capture: cannot make %s: %s\n", options.outFolder.c_str(),
                    failed.message().c_str());
            return 1;
        }
    }
    const bool video = !options.videoFile.empty();
    if (video && !haveProgram("ffmpeg")) {
        fprintf(stderr, "lumora-capture: --video needs ffmpeg, which is not installed "
                        "(Debian package ffmpeg)\n");
        return 1;
    }
    const std::vector<Shot> shots = planShots(options);

    auto loadStarted = std::chrono::steady_clock::now();
    demo.fullscreen = 0;
    demo.samples = options.samples;
    if (options.width > 0) {
        demo.layout.width = options.width;
        demo.layout.height = options.height;
        demo.layout.follow = true;
    }
    Music::enableVirtualMode();
    demo.openWindow();
    demo.loadEffects();
    demo.startMusic();
    double loadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStarted)
            .count();

    catchStopSignals();
    VideoEncoder encoder;
    if (video) {
        long first = 0, end = 0;
        rangeFrames(options, first, end);
        const FrameGrid grid{options.fps, 0.0};
        std::string error;
        if (!encoder.start(encoderCommand(demo, options, grid.time(first),
                                          static_cast<double>(end - first) / options.fps),
                           error)) {
            fprintf(stderr, "lumora-capture: %s\n", error.c_str());
            demo.closeWindow();
            return 1;
        }
    }

    EffectTimes effectTimes;
    std::vector<double> frameTimes;
    if (options.bench) {
        effectTimes.reserve(shots.size());
        frameTimes.reserve(shots.size());
        demo.effectObserver = &effectTimes;
    }
    Readback readback(demo.window->bufferWidth, demo.window->bufferHeight);
    Progress progress(options.progress, static_cast<int>(shots.size()));
    double seekMs = 0.0;
    bool ok = true;
    long rangeWritten = 0, written = 0;
    const Shot* rendered = nullptr;
    for (size_t k = 0; k < shots.size() && ok && !stopRequested(); ++k) {
        const Shot& shot = shots[k];
        if (rendered == nullptr || !shot.sameFrame(*rendered)) {
            SDL_PumpEvents();
            auto seekStarted = std::chrono::steady_clock::now();
            if (!demo.seek(shot.grid, shot.frame, stopRequested)) {
                break;
            }
            seekMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                seekStarted)
                          .count();
            Music::setVirtualPosition(shot.seconds());
            auto started = std::chrono::steady_clock::now();
            demo.playFrame(shot.grid, shot.frame);
            demo.window->clearBars();
            if (options.bench) {
                glFinish();
                frameTimes.push_back(std::chrono::duration<double, std::milli>(
                                         std::chrono::steady_clock::now() - started)
                                         .count());
            }
            rendered = &shot;
        }
        if (shot.at >= 0) {
            ok = readback.savePng(options.outFolder + "/" + atFileName(options.at[shot.at]));
        } else if (video) {
            ok = readback.sendBehind(encoder);
            rangeWritten += ok ? 1 : 0;
        } else {
            ok = readback.savePng(options.outFolder + "/" +
                                  rangeFileName(static_cast<int>(shot.rangeFrame)));
            rangeWritten += ok ? 1 : 0;
        }
        written += ok ? 1 : 0;
        progress.show(static_cast<int>(k + 1));
    }
    progress.finish();

    if (video) {
        // The frame whose read is under way goes out too, also after a signal.
        if (ok && rangeWritten > 0) {
            ok = readback.sendLast(encoder);
        }
        std::string error;
        const bool encoded = encoder.finish(error);
        if (!encoded || !ok) {
            fprintf(stderr, "lumora-capture: %s could not be written: %s\n",
                    options.videoFile.c_str(),
                    !encoded ? error.c_str() : "the encoder stopped reading frames");
            ok = false;
        }
    }

    if (options.bench) {
        demo.effectObserver = nullptr;
        const double referenceMs = referencePassMs(demo);
        printf("bench startup window_font_loading_music_ms=%.1f\n", loadMs);
        printf("bench reference=fullscreen-pass median_ms=%.3f\n", referenceMs);
        printf("bench seek ms=%.1f frames_drawn=%ld frames_skipped=%ld\n", seekMs,
               demo.seekFramesDrawn, demo.seekFramesSkipped);
        printTimes("frame", frameTimes, referenceMs);
        for (const auto& [name, times] : effectTimes.byName) {
            printTimes(("effect=" + name).c_str(), times, referenceMs);
        }
    }
    demo.closeWindow();

    if (stopRequested()) {
        fprintf(stderr, "lumora-capture: stopped by %s after writing %ld of %zu frames %s %s\n",
                stopSignal == SIGINT ? "SIGINT" : "SIGTERM", written, shots.size(),
                video ? "(the range's, as a playable video) to" : "to",
                video ? options.videoFile.c_str() : options.outFolder.c_str());
        return 128 + stopSignal;
    }
    return ok ? 0 : 1;
}
