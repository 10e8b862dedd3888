#include "core/Capture.h"

#include "core/CaptureBench.h"
#include "core/CaptureVideo.h"
#include "core/Demo.h"
#include "core/FrameReducer.h"
#include "core/Music.h"
#include "core/VideoEncoder.h"
#include "platform/CommandLine.h"
#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "resources/ImageWriter.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

const char* const captureUsage =
    "usage: lumora-capture [--at SECONDS]... [--from A --to B] [--fps N] [--size WxH]\n"
    "                      [--supersample K] [--video FILE] [--preset preview|release]\n"
    "                      [--out DIR] [--samples N] [--bench] [--quiet]\n"
    "       lumora-capture --join OUT.mp4 PIECE.mp4...\n"
    "Renders the demo's frames as the player shows them when it plays the demo from\n"
    "the start at N frames a second.\n"
    "  --at SECONDS      render the frame at that time into OUT/at-SECONDS.png\n"
    "                    (repeatable, in any order)\n"
    "  --from, --to      render the frames at multiples of 1/N from A up to B, B left\n"
    "                    out, into OUT/frame-NNNNNN.png\n"
    "  --fps N           frames per second (default 30)\n"
    "  --size WxH        frames of W x H pixels (default 800x600, the picture as made);\n"
    "                    the picture is drawn at that resolution, centred, with black\n"
    "                    bars where the shape is not 4:3 (up to 8192x8192)\n"
    "  --supersample K   render every frame K times as large each way and reduce it\n"
    "                    with a box filter (1 to 4, default 1)\n"
    "  --video FILE      encode the range with ffmpeg, with the soundtrack, instead of\n"
    "                    PNGs: H.264 High at CRF 17, BT.709, AAC at 320 kb/s\n"
    "  --preset NAME     preview: 800x600, 30 fps, a video encoded fast;\n"
    "                    release: 1920x1080, 60 fps, supersampled 2x, encoded as above;\n"
    "                    options given beside a preset win over it\n"
    "  --join OUT PIECE...  join videos of consecutive stretches of the demo, made with\n"
    "                    --from, --to and --video, into OUT without encoding them again;\n"
    "                    the soundtrack goes under the whole once\n"
    "  --out DIR         folder for the pictures (default capture)\n"
    "  --samples N       multisample samples of the window: 0 the driver's smallest\n"
    "                    multisample format, as lumora-player (default: none)\n"
    "  --bench           print per-frame and per-effect render times\n"
    "  --quiet           no progress bar\n"
    "  --help            print this and exit\n"
    "  --version         print the version and exit\n"
    "Times lie from 0 up to the demo's length. Ctrl-C or SIGTERM stops a render after\n"
    "the frame under way; what was written stays usable.\n";

namespace {

// The largest frame the renderer draws, supersampled or not.
constexpr int largestRender = 16384;

std::string absolute(const std::string& path) {
    return path.empty() ? path : std::filesystem::absolute(path).string();
}

// A progress bar on standard error with the pace and the time left.
class Progress {
public:
    Progress(bool enabled_, int total_) : enabled(enabled_ && total_ > 1), total(total_) {}
    void show(int done) {
        if (!enabled) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        const int percent = static_cast<int>(100.0 * done / total);
        if (percent == lastPercent && done != total && now - lastShown < std::chrono::seconds(1)) {
            return;
        }
        lastPercent = percent;
        lastShown = now;
        lastDone = done;
        char bar[41];
        const int filled = 40 * done / total;
        for (int i = 0; i < 40; ++i) {
            bar[i] = i < filled ? '#' : '.';
        }
        bar[40] = '\0';
        const double seconds = std::chrono::duration<double>(now - started).count();
        const double pace = seconds > 0.0 ? done / seconds : 0.0;
        const long left = pace > 0.0 ? std::lround((total - done) / pace) : 0;
        fprintf(stderr, "\r[%s] %3d%% frame %d/%d, %.1f fps, %ld:%02ld left ", bar, percent, done,
                total, pace, left / 60, left % 60);
        if (done == total) {
            fputc('\n', stderr);
        }
        fflush(stderr);
    }
    // Ends the bar's line where it stopped short.
    void finish() {
        if (enabled && lastPercent >= 0 && lastDone != total) {
            fputc('\n', stderr);
        }
    }

private:
    bool enabled;
    int total;
    int lastPercent = -1;
    int lastDone = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastShown;
};

// The frame, read back after it is drawn: from the window's back buffer, or
// from the reducer's framebuffer for a supersampled frame. To a PNG, or to the
// encoder.
class Readback {
public:
    Readback(int width_, int height_, GLuint framebuffer_)
        : width(width_), height(height_), framebuffer(framebuffer_),
          pixels(static_cast<size_t>(width_) * height_ * 4) {}

    // Bottom row first, as RGBA.
    const std::vector<unsigned char>& read() {
        readInto(nullptr);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        done();
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
    // read has had a whole frame to complete, goes to the encoder's queue. The
    // renderer never waits on the read it has just asked for.
    bool sendBehind(VideoEncoder& encoder) {
        if (packBuffers[0] == 0) {
            glGenBuffers(2, packBuffers);
            for (GLuint buffer : packBuffers) {
                glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
                glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(pixels.size()), nullptr,
                             GL_STREAM_READ);
            }
            glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        }
        readInto(&packBuffers[framesRead % 2]);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        done();
        ++framesRead;
        return framesRead < 2 || send(packBuffers[framesRead % 2], encoder);
    }

    // The last frame whose read sendBehind started.
    bool sendLast(VideoEncoder& encoder) {
        return framesRead == 0 || send(packBuffers[(framesRead - 1) % 2], encoder);
    }

private:
    void readInto(const GLuint* packBuffer) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadBuffer(framebuffer == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer != nullptr ? *packBuffer : 0);
    }
    // The frames read the window's framebuffer, as they left it.
    void done() {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
    }

    bool send(GLuint buffer, VideoEncoder& encoder) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        const void* frame = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
        const bool sent =
            frame != nullptr && encoder.submitFlipped(static_cast<const unsigned char*>(frame));
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        return sent;
    }

    int width, height;
    GLuint framebuffer;
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
    bool sized = false, paced = false, supersampled = false;
    std::string preset;
    while (!line.done()) {
        if (line.option("--at")) {
            options.at.push_back(line.number("--at", -1e300, 1e300));
        } else if (line.option("--from")) {
            options.from = line.number("--from", -1e300, 1e300);
        } else if (line.option("--to")) {
            options.to = line.number("--to", -1e300, 1e300);
        } else if (line.option("--fps")) {
            options.fps = line.number("--fps", 1e-3, 1000.0);
            paced = true;
        } else if (line.option("--samples")) {
            options.samples = static_cast<int>(line.integer("--samples", 0, 16));
        } else if (line.option("--size")) {
            line.size("--size", 16, maxFrameSide, options.width, options.height);
            sized = true;
        } else if (line.option("--supersample")) {
            options.supersample = static_cast<int>(line.integer("--supersample", 1, 4));
            supersampled = true;
        } else if (line.option("--preset")) {
            preset = line.value("--preset");
            if (preset != "preview" && preset != "release") {
                throw UsageError("--preset is preview or release, not \"" + preset + "\"");
            }
        } else if (line.option("--out")) {
            options.outFolder = line.value("--out");
        } else if (line.option("--video")) {
            options.videoFile = line.value("--video");
        } else if (line.option("--join")) {
            options.joinOutput = absolute(line.value("--join"));
            while (!line.done() && !line.atOption()) {
                options.joinPieces.push_back(absolute(line.take()));
            }
        } else if (line.option("--bench")) {
            options.bench = true;
        } else if (line.option("--quiet")) {
            options.progress = false;
        } else {
            line.refuseNext();
        }
    }

    if (!options.joinOutput.empty()) {
        if (options.joinPieces.empty()) {
            throw UsageError("--join needs the output and at least one piece");
        }
        if (!options.at.empty() || options.from != -1.0 || options.to != -1.0 ||
            !options.videoFile.empty()) {
            throw UsageError("--join joins videos already made: it renders nothing");
        }
        const std::string why = unwritablePath(options.joinOutput);
        if (!why.empty()) {
            throw UsageError("cannot write the video " + options.joinOutput + ": " + why);
        }
        return;
    }

    // A preset fills in what the options leave open.
    if (preset == "preview") {
        options.quality = VideoQuality::Preview;
    } else if (preset == "release") {
        if (!sized) {
            options.width = 1920;
            options.height = 1080;
        }
        options.fps = paced ? options.fps : 60.0;
        options.supersample = supersampled ? options.supersample : 2;
    }
    const int frameWidth = options.width > 0 ? options.width : 800;
    const int frameHeight = options.height > 0 ? options.height : 600;
    if (frameWidth * options.supersample > largestRender ||
        frameHeight * options.supersample > largestRender) {
        throw UsageError("frames of " + std::to_string(frameWidth) + "x" +
                         std::to_string(frameHeight) + " supersampled " +
                         std::to_string(options.supersample) +
                         "x are more than the renderer draws (" + std::to_string(largestRender) +
                         " pixels a side)");
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
    if (!options.joinOutput.empty()) {
        return joinVideos(options.joinOutput, options.joinPieces,
                          demo.musicFile != nullptr ? demo.musicFile : "");
    }
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
    const int factor = options.supersample;
    if (options.width > 0 || factor > 1) {
        demo.layout.width = (options.width > 0 ? options.width : demo.width) * factor;
        demo.layout.height = (options.height > 0 ? options.height : demo.height) * factor;
        demo.layout.follow = true;
        demo.layout.grain = factor;
    }
    Music::enableVirtualMode();
    demo.openWindow();
    demo.loadEffects();
    demo.startMusic();
    double loadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStarted)
            .count();

    const int width = demo.window->bufferWidth / factor;
    const int height = demo.window->bufferHeight / factor;
    std::unique_ptr<FrameReducer> reducer;
    if (factor > 1) {
        reducer = std::make_unique<FrameReducer>(factor, width, height);
    }
    catchStopSignals();
    VideoEncoder encoder;
    if (video) {
        VideoPiece piece;
        rangeFrames(options, piece.first, piece.count);
        piece.count -= piece.first;
        piece.file = options.videoFile;
        piece.rate = options.fps;
        piece.width = width;
        piece.height = height;
        std::string error;
        if (!encoder.start(encoderCommand(piece, options.quality,
                                          demo.musicFile != nullptr ? demo.musicFile : ""),
                           width * 4, height, error)) {
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
    Readback readback(width, height, reducer ? reducer->framebuffer() : 0);
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
            if (reducer) {
                reducer->reduce();
            }
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
        printf("bench size=%dx%d supersample=%d\n", width, height, factor);
        printf("bench reference=fullscreen-pass median_ms=%.3f\n", referenceMs);
        printf("bench seek ms=%.1f frames_drawn=%ld frames_skipped=%ld\n", seekMs,
               demo.seekFramesDrawn, demo.seekFramesSkipped);
        printTimes("frame", frameTimes, referenceMs);
        for (const auto& [name, times] : effectTimes.byName) {
            printTimes(("effect=" + name).c_str(), times, referenceMs);
        }
    }
    reducer.reset();
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
