#include "core/Capture.h"

#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "core/Music.h"
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

const char* const captureUsage =
    "usage: lumora-capture [--at SECONDS]... [--from A --to B [--fps N]] [--video FILE]\n"
    "                      [--out DIR] [--samples N] [--bench] [--quiet]\n"
    "  --at SECONDS   render one frame at that time into OUT/at-SECONDS.png (repeatable)\n"
    "  --from, --to   render the frames A, A + 1/N, ... below B into OUT/frame-NNNNNN.png\n"
    "  --fps N        frames per second of a range (default 30)\n"
    "  --video FILE   encode the range with ffmpeg, with the soundtrack, instead of PNGs\n"
    "  --out DIR      folder for the pictures (default capture)\n"
    "  --samples N    multisample samples of the window: 0 the driver's smallest\n"
    "                 multisample format, as lumora-player (default: none)\n"
    "  --bench        print per-frame and per-effect render times\n"
    "  --quiet        no progress bar\n";

namespace {

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

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

private:
    bool enabled;
    int total;
    int last = -1;
};

class Renderer {
public:
    Renderer(Demo& demo_, const CaptureOptions& options_)
        : demo(demo_), options(options_),
          pixels(static_cast<size_t>(demo_.width) * demo_.height * 4) {}

    // Renders the frame at `seconds` as the player would, with the music standing
    // at that time; frameDelta is one frame of the capture rate.
    void render(double seconds) {
        SDL_PumpEvents();
        Music::setVirtualPosition(seconds);
        float now = static_cast<float>(seconds);
        auto started = std::chrono::steady_clock::now();
        demo.renderFrame(now, static_cast<float>(1.0 / options.fps));
        if (options.bench) {
            glFinish();
            frameTimes.push_back(std::chrono::duration<double, std::milli>(
                                     std::chrono::steady_clock::now() - started)
                                     .count());
        }
    }

    // The back buffer, bottom row first, as RGBA.
    const std::vector<unsigned char>& read() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, demo.width, demo.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        // Effects may leave alpha anywhere; the picture is opaque.
        for (size_t i = 3; i < pixels.size(); i += 4) {
            pixels[i] = 255;
        }
        return pixels;
    }

    // Video frames go out through two pixel buffers, a frame behind: the read
    // of the frame just rendered is started, and the frame before it, whose
    // read has had a whole frame to complete, is written to the encoder. The
    // renderer never waits on the read it has just asked for.
    bool sendBehind(FILE* encoder) {
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
        glReadPixels(0, 0, demo.width, demo.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        ++framesRead;
        return framesRead < 2 || send(packBuffers[framesRead % 2], encoder);
    }

    // The last frame whose read sendBehind started.
    bool sendLast(FILE* encoder) {
        return framesRead == 0 || send(packBuffers[(framesRead - 1) % 2], encoder);
    }

    bool savePng(const std::string& file) {
        read();
        if (!::writePng(file, demo.width, demo.height, 4, pixels.data(), true)) {
            fprintf(stderr, "lumora-capture: cannot write %s\n", file.c_str());
            return false;
        }
        return true;
    }

    Demo& demo;
    const CaptureOptions& options;
    std::vector<unsigned char> pixels;
    std::vector<double> frameTimes;

private:
    bool send(GLuint buffer, FILE* encoder) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        const void* frame = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
        const bool sent =
            frame != nullptr && fwrite(frame, 1, pixels.size(), encoder) == pixels.size();
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        return sent;
    }

    GLuint packBuffers[2] = {};
    long framesRead = 0;
};

int rangeFrameCount(const CaptureOptions& options) {
    int count = 0;
    while (options.from + count / options.fps < options.to) {
        ++count;
    }
    return count;
}

bool haveFfmpeg() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
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

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        auto value = [&](double& into) {
            if (i + 1 >= argc || !parseNumber(argv[i + 1], into)) {
                error = flag + " needs a number";
                return false;
            }
            ++i;
            return true;
        };
        auto text = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = flag + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        double number = 0.0;
        if (flag == "--at") {
            if (!value(number)) {
                return false;
            }
            options.at.push_back(number);
        } else if (flag == "--from") {
            if (!value(options.from)) {
                return false;
            }
        } else if (flag == "--to") {
            if (!value(options.to)) {
                return false;
            }
        } else if (flag == "--fps") {
            if (!value(options.fps)) {
                return false;
            }
        } else if (flag == "--samples") {
            if (!value(number)) {
                return false;
            }
            if (!(number >= 0.0 && number <= 16.0)) {
                error = "--samples must lie in 0 .. 16";
                return false;
            }
            options.samples = static_cast<int>(number);
        } else if (flag == "--out") {
            if (!text(options.outFolder)) {
                return false;
            }
        } else if (flag == "--video") {
            if (!text(options.videoFile)) {
                return false;
            }
        } else if (flag == "--bench") {
            options.bench = true;
        } else if (flag == "--quiet") {
            options.progress = false;
        } else {
            error = "unknown argument " + flag;
            return false;
        }
    }
    bool range = options.from >= 0.0 || options.to >= 0.0;
    if (range && !(options.from >= 0.0 && options.to > options.from)) {
        error = "--from and --to need 0 <= A < B";
        return false;
    }
    if (options.fps <= 0.0 || options.fps > 1000.0) {
        error = "--fps must lie in (0, 1000]";
        return false;
    }
    if (!options.videoFile.empty() && !range) {
        error = "--video needs --from and --to";
        return false;
    }
    if (options.at.empty() && !range) {
        error = "nothing to render: give --at or --from and --to";
        return false;
    }
    options.outFolder = absolute(options.outFolder);
    options.videoFile = absolute(options.videoFile);
    return true;
}

int runCapture(Demo& demo, const CaptureOptions& options) {
    bool writesPictures = !options.at.empty() || options.videoFile.empty();
    if (writesPictures) {
        std::error_code failed;
        std::filesystem::create_directories(options.outFolder, failed);
        if (failed) {
            fprintf(stderr, "lumora-capture: cannot make %s: %s\n", options.outFolder.c_str(),
                    failed.message().c_str());
            return 1;
        }
    }
    if (!options.videoFile.empty() && !haveFfmpeg()) {
        fprintf(stderr, "lumora-capture: --video needs ffmpeg, which is not installed "
                        "(Debian package ffmpeg)\n");
        return 1;
    }

    auto loadStarted = std::chrono::steady_clock::now();
    demo.fullscreen = 0;
    demo.samples = options.samples;
    Music::enableVirtualMode();
    demo.openWindow();
    demo.loadEffects();
    demo.startMusic();
    double loadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStarted)
            .count();

    EffectTimes effectTimes;
    Renderer renderer(demo, options);
    int rangeFrames = options.from >= 0.0 ? rangeFrameCount(options) : 0;
    if (options.bench) {
        effectTimes.reserve(rangeFrames + options.at.size() * 2);
        renderer.frameTimes.reserve(rangeFrames + options.at.size() * 2);
        demo.effectObserver = &effectTimes;
    }

    bool ok = true;
    Progress atProgress(options.progress, static_cast<int>(options.at.size()));
    for (size_t k = 0; k < options.at.size() && ok; ++k) {
        // The scenes read the camera one frame late: render the frame before first.
        double seconds = options.at[k];
        renderer.render(std::max(0.0, seconds - 1.0 / options.fps));
        renderer.render(seconds);
        ok = renderer.savePng(options.outFolder + "/" + atFileName(seconds));
        atProgress.show(static_cast<int>(k + 1));
    }

    if (ok && rangeFrames > 0) {
        FILE* video = nullptr;
        if (!options.videoFile.empty()) {
            char command[4096];
            snprintf(command, sizeof command,
                     "ffmpeg -v error -y -f rawvideo -pix_fmt rgb0 -s %dx%d -r %g -i - "
                     "-ss %.3f -t %.3f -i '%s' -vf vflip -c:v libx264 -preset superfast -crf 20 "
                     "-pix_fmt yuv420p -c:a aac -b:a 192k -shortest '%s'",
                     demo.width, demo.height, options.fps, options.from, options.to - options.from,
                     demo.musicFile != nullptr ? demo.musicFile : "/dev/null",
                     options.videoFile.c_str());
            video = popen(command, "w");
            if (video == nullptr) {
                fprintf(stderr, "lumora-capture: cannot start ffmpeg\n");
                return 1;
            }
        }
        Progress progress(options.progress, rangeFrames);
        for (int frame = 0; frame < rangeFrames && ok; ++frame) {
            renderer.render(options.from + frame / options.fps);
            if (video != nullptr) {
                ok = renderer.sendBehind(video);
            } else {
                ok = renderer.savePng(options.outFolder + "/" + rangeFileName(frame));
            }
            progress.show(frame + 1);
        }
        if (video != nullptr && ok) {
            ok = renderer.sendLast(video);
        }
        if (video != nullptr && (pclose(video) != 0 || !ok)) {
            fprintf(stderr, "lumora-capture: ffmpeg could not write %s\n",
                    options.videoFile.c_str());
            ok = false;
        }
    }

    if (options.bench) {
        demo.effectObserver = nullptr;
        const double referenceMs = referencePassMs(demo);
        printf("bench startup window_font_loading_music_ms=%.1f\n", loadMs);
        printf("bench reference=fullscreen-pass median_ms=%.3f\n", referenceMs);
        printTimes("frame", renderer.frameTimes, referenceMs);
        for (const auto& [name, times] : effectTimes.byName) {
            printTimes(("effect=" + name).c_str(), times, referenceMs);
        }
    }
    demo.closeWindow();
    return ok ? 0 : 1;
}
