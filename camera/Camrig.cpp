#include "camera/Camrig.h"

#include "core/Demo.h"
#include "core/Music.h"
#include "platform/Fatal.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/OutlineFont.h"

#include <SDL.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

const char* const bankFiles[8] = {"data/tracks/1.crg", "data/tracks/2.crg", "data/tracks/3.crg",
                                  "data/tracks/4.crg", "data/tracks/5.crg", "data/tracks/6.crg",
                                  "data/tracks/7.crg", "data/tracks/8.crg"};

// The keys a fresh editor starts from: a camera up and away from the origin,
// looking at it, with -z as up.
const CameraKey defaultKeys[3] = {
    {100.0f, 100.0f, -100.0f, 0.0f, 1}, {0.0f, 0.0f, 0.0f, 0.0f, 1}, {0.0f, 0.0f, -1.0f, 0.0f, 1}};

const float viewEdge = 0.8f;
const float spectrumStep = 1.0f / 60.0f;
// Local times the spectrum trails have room for, at 60 values a second.
const float trailSeconds = 333.3f;

// A flat quad in normalised device coordinates over whatever was drawn.
void panelRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a) {
    disableFragmentPrograms();
    disableVertexPrograms();
    projectionIdentity();
    modelviewIdentity();
    disableState(StateCap::DepthTest);
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    disableState(StateCap::Blend);
    enableState(StateCap::DepthTest);
}

float clampToView(float x) {
    return x < -viewEdge ? -viewEdge : (x > viewEdge ? viewEdge : x);
}

bool near(float value, float target) {
    return std::fabs(value - target) < 0.1f;
}

int nearestInt(float v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

float stickResponse(float v) {
    float v2 = v * v;
    float v4 = v2 * v2;
    return v * v2 * v4 * 10.0f;
}

Camrig::Camrig(Demo* demo_, bool playbackOnly_)
    : Effect(demo_), playbackOnly(playbackOnly_ ? 1 : 0) {
    name = "Camrig";
}

Camrig::~Camrig() {
    if (dumpFile != nullptr) {
        fclose(dumpFile);
    }
}

void Camrig::load() {
    if (playbackOnly) {
        return;
    }
    currentTrack = 0;
    editMode = 2;
    memset(spectrumTrail0, 0, sizeof spectrumTrail0);
    memset(spectrumTrail1, 0, sizeof spectrumTrail1);
    viewHalfSpan = 2.5f;

    gamepads = std::make_unique<GamepadManager>();
    if (gamepads->gamepads.empty()) {
        fatalError("PorticoInput error", "No XBOX360-controller found.");
    }
    gamepad = gamepads->gamepads[0];

    addDefaultKeys(false);

    dumpFile = fopen("spermdump.txt", "w");
    if (dumpFile == nullptr) {
        fprintf(stderr,
                "spermdump.txt: cannot open for writing: %s; camera positions are not dumped\n",
                strerror(errno));
    }
}

void Camrig::addDefaultKeys(bool onlyWhereEmpty) {
    for (int k = 0; k < 3; ++k) {
        if (onlyWhereEmpty && tracks[k].count > 0) {
            continue;
        }
        const CameraKey& key = defaultKeys[k];
        tracks[k].addKey(key.x, key.y, key.z, key.time, key.mode);
    }
}

void Camrig::readStartBank(const std::string& fileName) {
    if (!playbackOnly) {
        readTrackBank(fileName, tracks);
        return;
    }
    std::string error;
    if (!readPlaybackBank(fileName, tracks, error)) {
        // Every scene takes its camera from the bank: without it each frame
        // would look at nothing in particular.
        fatalError("Camera tracks", fileName + ": " + error);
    }
}

bool Camrig::saveBank(int slot) {
    return writeTrackBank(bankFiles[slot], tracks);
}

bool Camrig::loadBank(int slot) {
    bool whole = readTrackBank(bankFiles[slot], tracks);
    addDefaultKeys(true);
    return whole;
}

float Camrig::screenX(float time) const {
    return viewEdge / viewHalfSpan * (time - localTime);
}

void Camrig::render() {
    if (!playbackOnly) {
        handleKeyboard();
        if (!demo->paused) {
            recordSpectrum();
        }
        gamepad->poll();
        scrub();

        pauseButton.update(gamepad->buttons[2] != 0, *frameDelta);
        if (pauseButton.take()) {
            demo->paused = !demo->paused;
            if (demo->hasMusic()) {
                if (demo->paused) {
                    Music::pause();
                } else {
                    Music::resume();
                }
            }
        }
        if (gamepad->buttons[7] != 0) {
            demo->quitRequested = true;
        }

        drawPanel();
        drawReadouts();

        dumpButton.update(gamepad->buttons[3] != 0, *frameDelta);
        if (dumpButton.take() && dumpFile != nullptr) {
            const Vec3& camera = demo->controllerValues[0];
            fprintf(dumpFile, "%.2f, %.2f, %.2f\n", camera.x, camera.y, camera.z);
            // The editor is usually left by closing it; keep every line.
            fflush(dumpFile);
        }

        if (editMode == 2) {
            flyCamera();
        }
    }

    writeControllers();
}

void Camrig::skip() {
    writeControllers();
}

void Camrig::writeControllers() {
    for (int k = 0; k < trackBankSize; ++k) {
        demo->controllerValues[k] = tracks[k].value(localTime);
    }
}

void Camrig::handleKeyboard() {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    // Holding the keys repeats the action every frame.
    if (keys[SDL_SCANCODE_S] != 0) {
        for (int slot = 0; slot < 8; ++slot) {
            if (keys[SDL_SCANCODE_F1 + slot] != 0) {
                saveBank(slot);
            }
        }
    }
    if (keys[SDL_SCANCODE_L] != 0) {
        for (int slot = 0; slot < 8; ++slot) {
            if (keys[SDL_SCANCODE_F1 + slot] != 0) {
                loadBank(slot);
            }
        }
    }
}

void Camrig::recordSpectrum() {
    if (!(localTime >= 0.0f && localTime < trailSeconds)) {
        return;
    }
    int i = nearestInt(60.0f * localTime);
    if (i < trailLength) {
        spectrumTrail0[i] = demo->spectrum[0];
        spectrumTrail1[i] = demo->spectrum[1];
    }
}

void Camrig::scrub() {
    if (!(std::fabs(gamepad->triggers) > 0.25f)) {
        return;
    }
    float x = 1.1f * gamepad->triggers;
    float x2 = x * x;
    float delta = -(x * (x2 * x2));
    demo->clockStart += delta;
    if (demo->hasMusic()) {
        float s = demo->time + delta;
        if (s > demo->wrapLength) {
            s -= demo->wrapLength;
        }
        Music::seek(s);
    }
}

void Camrig::drawPanel() {
    const OutlineFont* font = demo->font;

    panelRect(-0.8f, -0.6f, 0.8f, -0.57f, 0.8f, 0.25f, 0.25f, 0.5f);
    drawText(font, 80, 120, "Brimvale Lumora Camrig");

    panelRect(-0.8f, -0.8f, 0.8f, -0.6f, 0.5f, 0.5f, 0.5f, 0.5f);

    panelRect(clampToView(screenX(0.0f)), -0.75f, clampToView(screenX(demo->length)), -0.7f, 0.0f,
              0.0f, 0.0f, 0.5f);

    panelRect(-0.005f, -0.775f, 0.005f, -0.675f, 1.0f, 1.0f, 0.0f, 1.0f);

    drawText(font, 80, 60, "%f", localTime - viewHalfSpan);
    drawText(font, 665, 60, "%f", localTime + viewHalfSpan);
    drawText(font, 390, 60, "%f", localTime);

    for (int second = 0; second < 500; ++second) {
        float x = screenX(static_cast<float>(second));
        if (x > -viewEdge && x < viewEdge) {
            drawText(font, nearestInt((x + 1.0f) * 400.0f), 80, "%i", second);
        }
    }

    for (float s = localTime - viewHalfSpan; s < localTime + viewHalfSpan; s += spectrumStep) {
        if (!(s > 0.0f)) {
            continue;
        }
        int i = nearestInt(60.0f * s);
        if (i >= trailLength) {
            continue;
        }
        float x0 = screenX(s);
        float x1 = screenX(s + spectrumStep);
        panelRect(x0, -0.7f, x1, spectrumTrail0[i] * 0.1f - 0.7f, 0.0f, 1.0f, 0.0f, 0.5f);
        panelRect(x0, -0.7f, x1, spectrumTrail1[i] * 0.1f - 0.7f, 1.0f, 0.0f, 0.0f, 0.5f);
    }

    const CameraTrack& track = tracks[currentTrack];
    for (int k = 0; k < track.count; ++k) {
        const CameraKey& key = track.data[k];
        float x = screenX(key.time);
        if (!(x > -viewEdge && x < viewEdge)) {
            continue;
        }
        if (k == selectedKey) {
            panelRect(x - 0.015f, -0.7f, x + 0.015f, -0.65f, 1.0f, 0.9f, 0.9f, 1.0f);
        } else {
            panelRect(x - 0.015f, -0.7f, x + 0.015f, -0.65f, 0.5f, 0.5f, 0.5f, 1.0f);
        }
        static const char* const modeLetters[5] = {"S", "L", "T", "C", "Q"};
        glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
        if (key.mode >= 0 && key.mode <= 4) {
            drawText(font, nearestInt((x + 1.0f) * 400.0f) - 3, 93, "%s", modeLetters[key.mode]);
        }
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }

    // The remainder keeps the sign of the dividend: stepping down from 0 gives 1.
    trackUpButton.update(near(gamepad->pov, 0.0f), *frameDelta);
    if (trackUpButton.take()) {
        currentTrack = std::abs((currentTrack + 1) % trackBankSize);
    }
    trackDownButton.update(near(gamepad->pov, 18.0f), *frameDelta);
    if (trackDownButton.take()) {
        currentTrack = std::abs((currentTrack - 1) % trackBankSize);
    }
    drawText(font, 80, 108, "Current track: [%i] %s", currentTrack,
             demo->controllerNames[currentTrack].c_str());
}

void Camrig::drawReadouts() {
    const Vec3* c = demo->controllerValues;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawText(demo->font, 0, 580, "Camera: (%f, %f, %f)", c[0].x, c[0].y, c[0].z);
    drawText(demo->font, 0, 560, "Target: (%f, %f, %f)", c[1].x, c[1].y, c[1].z);
    drawText(demo->font, 0, 540, "Up: (%f, %f, %f)", c[2].x, c[2].y, c[2].z);
}

void Camrig::flyCamera() {
    float t = localTime;
    float dt = *frameDelta;
    selectedKey = tracks[currentTrack].keyIndexAt(t, 0);
    currentTrack = 0;

    // Each of the three tracks edits its own key at or before t. For banks the
    // editor made they are the same index; for others one shared index could
    // point past a track's end.
    CameraTrack& position = tracks[0];
    CameraTrack& target = tracks[1];
    CameraTrack& up = tracks[2];
    int keyIndex[3] = {position.keyIndexAt(t, 0), target.keyIndexAt(t, 0), up.keyIndexAt(t, 0)};
    if (keyIndex[0] < 0 || keyIndex[1] < 0 || keyIndex[2] < 0) {
        return;
    }
    CameraKey& positionKey = position.key(keyIndex[0]);
    CameraKey& targetKey = target.key(keyIndex[1]);

    Vec3 p = positionKey.position();
    Vec3 d = targetKey.position() - p;

    Vec3 u = up.value(t);
    rotateAboutAxis(d, cross(u, d), stickResponse(0.5f * gamepad->rightY) * dt * 50.0f);
    u = up.value(t);
    rotateAboutAxis(d, u, stickResponse(0.5f * gamepad->rightX) * dt * 50.0f);
    targetKey.setPosition(p + d);

    Vec3 move = normalize(target.value(t) - p) * stickResponse(gamepad->leftY);
    Vec3 w = target.value(t) - positionKey.position();
    Vec3 side = normalize(cross(w, up.sample(t, 1)));
    move += side * stickResponse(gamepad->leftX);
    positionKey.setPosition(positionKey.position() + move * (50.0f * dt));
    targetKey.setPosition(targetKey.position() + move * (50.0f * dt));

    addKeyButton.update(gamepad->buttons[0] != 0, dt);
    if (addKeyButton.take()) {
        for (int k = 0; k < 3; ++k) {
            Vec3 at = tracks[k].key(keyIndex[k]).position();
            tracks[k].addKey(at.x, at.y, at.z, t, 1);
        }
    }

    removeKeyButton.update(gamepad->buttons[1] != 0, dt);
    if (removeKeyButton.take()) {
        // The camera needs a key in each of the three tracks to fly at all.
        if (position.count > 1 && target.count > 1 && up.count > 1) {
            for (int k = 0; k < 3; ++k) {
                tracks[k].removeKey(keyIndex[k]);
            }
        }
    }
    // Adding and removing move the keys; the mode steps below act on the key
    // at or before t as it is now.
    for (int k = 0; k < 3; ++k) {
        keyIndex[k] = tracks[k].keyIndexAt(t, 0);
    }

    modeDownButton.update(near(gamepad->pov, 27.0f), dt);
    if (modeDownButton.take()) {
        for (int k = 0; k < 3; ++k) {
            tracks[k].key(keyIndex[k]).mode -= 1;
        }
        if (position.key(keyIndex[0]).mode < 0) {
            for (int k = 0; k < 3; ++k) {
                tracks[k].key(keyIndex[k]).mode = 4;
            }
        }
    }
    modeUpButton.update(near(gamepad->pov, 9.0f), dt);
    if (modeUpButton.take()) {
        for (int k = 0; k < 3; ++k) {
            tracks[k].key(keyIndex[k]).mode += 1;
        }
        if (position.key(keyIndex[0]).mode > 4) {
            for (int k = 0; k < 3; ++k) {
                tracks[k].key(keyIndex[k]).mode = 0;
            }
        }
    }
}
