#include "core/Demo.h"

#include "core/FullscreenPass.h"
#include "core/LoadingScreen.h"
#include "core/Music.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/Lifetime.h"
#include "platform/OutlineFont.h"
#include "platform/WindowPass.h"

#include "platform/Gl.h"
#include <SDL.h>

#include <cmath>
#include <cstdio>

Demo::Demo() {
    effects.reserve(100);
    timeline.reserve(100);
    controllerNames[0] = "Camera Position";
    controllerNames[1] = "Camera Target";
    controllerNames[2] = "Camera Up Vector";
    for (int k = 3; k < controllerCount; ++k) {
        controllerNames[k] = "Untitled controller";
    }
}

Demo::~Demo() = default;

void Demo::addEffect(Effect* effect) {
    // Effects live until the process ends.
    keepForLifetime(effect);
    effects.append(effect);
}

void Demo::addEntry(float start, float duration, Effect* effect) {
    timeline.append(TimelineEntry{start, duration, effect});
}

bool Demo::hasMusic() const {
    return musicFile != nullptr;
}

void Demo::openWindow() {
    ownedWindow = std::make_unique<GlWindow>(width, height, 16, 8, samples, 0, fullscreen, layout);
    glEnable(GL_MULTISAMPLE);
    window = ownedWindow.get();
    if (verbose) {
        printf("Window %d x %d, %d samples%s", window->bufferWidth, window->bufferHeight,
               window->samples, window->fullscreen ? ", fullscreen" : "");
        if (window->scaledToDisplay) {
            printf(", picture %d x %d scaled up", width, height);
        } else if (window->width != window->bufferWidth || window->height != window->bufferHeight) {
            printf(", picture %d x %d", window->width, window->height);
        }
        printf("\n");
        fflush(stdout);
    }
    ownedFont = std::make_unique<OutlineFont>("Verdana");
    font = ownedFont.get();
    copyProgram = new FullscreenPass();
    keepForLifetime(copyProgram);
}

void Demo::loadEffects() {
    buildTimeline();
    showProgress(*this, 0.0f, *window);
    // The count is read again before every step: effects constructed during a
    // load (nested lens flares) are appended and loaded in the same pass.
    for (int i = 0; i < effects.count; ++i) {
        showProgress(*this, static_cast<float>(i + 1) / static_cast<float>(effects.count), *window);
        loadingEffect = i;
        lastLoadProgress = SDL_GetTicks64() / 1000.0;
        Effect* effect = effects[i];
        if (verbose) {
            printf("Loading element \"%s\"...", effect->name.c_str());
            fflush(stdout);
        }
        effect->load();
        if (verbose) {
            printf("Done.\n");
            fflush(stdout);
        }
    }
    loadingEffect = -1;
}

void Demo::showLoadProgress(float done) {
    if (loadingEffect < 0 || window == nullptr) {
        return;
    }
    const double now = SDL_GetTicks64() / 1000.0;
    if (now - lastLoadProgress < 1.0 / 30.0) {
        return;
    }
    lastLoadProgress = now;
    done = done < 0.0f ? 0.0f : (done > 1.0f ? 1.0f : done);
    float progress =
        (static_cast<float>(loadingEffect + 1) + done) / static_cast<float>(effects.count);
    showProgressOnce(*this, progress < 1.0f ? progress : 1.0f, *window);
}

void Demo::startMusic() {
    if (!hasMusic()) {
        return;
    }
    Music::init(window != nullptr ? window->nativeHandle(0) : nullptr);
    Music::open(musicFile);
    Music::play(clockStart);
    Music::setVolume(static_cast<int>(std::lround(volume * 100.0f)));
}

float Demo::readClock() {
    float now = timer.elapsed() + clockStart;
    // With a stream the music is the clock. Without one (a missing or broken
    // file) the timer goes on, so the demo still runs and ends.
    if (hasMusic() && Music::hasStream()) {
        now = Music::position();
    }
    return now;
}

void Demo::renderFrame(float now, float delta) {
    time = now;
    frameDelta = delta;
    if (hasMusic()) {
        Music::spectrum(spectrum);
    }
    onGrid = false;
    renderActiveEntries();
}

void Demo::setFrameClock(const FrameGrid& grid, long frame) {
    const double seconds = grid.time(frame);
    time = static_cast<float>(seconds);
    frameDelta = static_cast<float>(1.0 / grid.rate);
    if (hasMusic()) {
        Music::spectrumAt(seconds, spectrum);
    }
    onGrid = true;
    playedGrid = grid;
    playedFrame = frame;
}

void Demo::playFrame(const FrameGrid& grid, long frame) {
    setFrameClock(grid, frame);
    renderActiveEntries();
}

void Demo::skipFrame(const FrameGrid& grid, long frame) {
    setFrameClock(grid, frame);
    for (int i = 0; i < timeline.count; ++i) {
        if (Effect* effect = enter(timeline[i])) {
            effect->skip();
        }
    }
}

Effect* Demo::enter(const TimelineEntry& entry) {
    if (!(entry.start <= time && time < entry.start + entry.duration)) {
        return nullptr;
    }
    Effect* effect = entry.effect;
    effect->start = entry.start;
    effect->duration = entry.duration;
    effect->localTime = *effect->timeSource - entry.start;
    effect->fraction = effect->localTime / entry.duration;
    return effect;
}

void Demo::rewind() {
    for (Vec3& value : controllerValues) {
        value = Vec3();
    }
    for (int i = 0; i < effects.count; ++i) {
        effects[i]->rewind();
    }
    onGrid = false;
}

bool Demo::seek(const FrameGrid& grid, long frame, bool (*stop)()) {
    if (!seekPlan) {
        seekPlan = std::make_unique<SeekPlan>(timeline);
    }
    long from = playedFrame + 1;
    if (!onGrid || !(playedGrid == grid) || playedFrame >= frame) {
        rewind();
        from = grid.firstFrame();
    }
    // The frames before the target are not timed as frames of their own.
    EffectObserver* observer = effectObserver;
    effectObserver = nullptr;
    bool stopped = false;
    for (long k = from; k < frame && !stopped; ++k) {
        if (seekPlan->draws(grid, k, frame)) {
            playFrame(grid, k);
            ++seekFramesDrawn;
        } else {
            skipFrame(grid, k);
            ++seekFramesSkipped;
        }
        stopped = stop != nullptr && stop();
    }
    effectObserver = observer;
    return !stopped;
}

void Demo::renderActiveEntries() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < timeline.count; ++i) {
        if (Effect* effect = enter(timeline[i])) {
            if (effectObserver != nullptr) {
                effectObserver->beforeEffect(*effect);
                effect->render();
                effectObserver->afterEffect(*effect);
            } else {
                effect->render();
            }
        }
    }
}

void Demo::applyCamera() {
    const Vec3& eye = controllerValues[0];
    const Vec3& target = controllerValues[1];
    const Vec3& up = controllerValues[2];
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

void Demo::closeWindow() {
    font = nullptr;
    window = nullptr;
    if (windowEndsWithProcess && ownedWindow) {
        ownedWindow->hide();
        keepForLifetime(ownedWindow.release());
        return;
    }
    ownedWindow.reset();
}

void Demo::startFrom(float seconds) {
    // The player's own frames come at the display's pace; what they inherit is
    // taken from frames at 60 a second, the pace of most displays.
    long frame = 0;
    const FrameGrid grid = FrameGrid::through(seconds, 60.0, frame);
    seek(grid, frame);
    // The frames drawn on the way are not for showing: the first one presented
    // is black, with the state the frames left kept.
    KeptGlState kept;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void Demo::run() {
    openWindow();
    loadEffects();
    if (clockStart > 0.0f) {
        startFrom(clockStart);
    }
    startMusic();
    timer.reset();
    time = 0.0f;

    if (!quitRequested) {
        for (;;) {
            // A time that is not a number also leaves.
            if (!(time < length)) {
                break;
            }
            // Held, or tapped at any moment since the previous frame.
            if (escapePressed()) {
                break;
            }
            // Presents the previous frame; the frame drawn last is never presented.
            if (!window->update()) {
                break;
            }
            float now = readClock();
            float delta = timer.delta();
            renderFrame(now, delta);
            if (quitRequested) {
                break;
            }
        }
    }
    closeWindow();
}
