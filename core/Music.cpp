#include "core/Music.h"

#include "core/MusicDecoder.h"
#include "core/MusicStream.h"
#include "platform/Fatal.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int deviceBufferFrames = 1024;

struct MusicState {
    void* windowHandle = nullptr;
    SDL_AudioDeviceID device = 0;
    // Frames of the soundtrack the device may still hold after taking a buffer.
    int deviceDelay = 0;
    bool virtualMode = false;
    double virtualFrame = 0.0;
    std::unique_ptr<MusicStream> stream;
};

// Never destroyed: SDL's audio thread may still pull frames while the process
// runs its exit handlers, so the stream must outlive them.
MusicState& state = *new MusicState;

double steadySeconds() {
    return static_cast<double>(SDL_GetPerformanceCounter()) /
           static_cast<double>(SDL_GetPerformanceFrequency());
}

// Runs on SDL's audio thread with the device locked.
void SDLCALL pullFrames(void*, Uint8* out, int bytes) {
    const int frames = bytes / (DecodedMusic::channels * 2);
    if (state.stream) {
        state.stream->handTo(reinterpret_cast<int16_t*>(out), frames, steadySeconds());
    } else {
        memset(out, 0, static_cast<size_t>(bytes));
    }
}

// Holds the audio thread off the stream while the main thread reads or moves it.
class DeviceLock {
public:
    DeviceLock() : device(state.device) {
        if (device != 0) {
            SDL_LockAudioDevice(device);
        }
    }
    ~DeviceLock() {
        if (device != 0) {
            SDL_UnlockAudioDevice(device);
        }
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID device;
};

SDL_AudioDeviceID openDevice(std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return 0;
    }
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = DecodedMusic::rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = DecodedMusic::channels;
    wanted.samples = deviceBufferFrames;
    wanted.callback = pullFrames;
    // No changes allowed: SDL converts to whatever the hardware takes, so the
    // callback always sees 44.1 kHz stereo frames.
    SDL_AudioSpec obtained;
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    // A buffer the callback fills is heard only after the one the device is
    // playing: SDL's buffer, at the rate it was opened with, bounds that wait.
    state.deviceDelay = static_cast<int>(static_cast<int64_t>(obtained.samples) *
                                         DecodedMusic::rate / std::max(obtained.freq, 1));
    return device;
}

// Without a sound card the dummy driver still consumes frames in real time, so
// the music stays the clock and the demo plays (silently) to its end.
SDL_AudioDeviceID openDummyDevice(const std::string& reason) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    std::string error;
    SDL_AudioDeviceID device = openDevice(error);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (device != 0) {
        fprintf(stderr, "music: no sound device (%s); playing silently on the dummy driver\n",
                reason.c_str());
        fflush(stderr);
    }
    return device;
}

double readHeardFrame() {
    if (state.virtualMode) {
        return state.virtualFrame;
    }
    DeviceLock lock;
    return state.stream->heardFrame(steadySeconds());
}

} // namespace

void Music::init(void* windowHandle) {
    state.windowHandle = windowHandle;
    if (state.virtualMode || state.device != 0) {
        return;
    }
    std::string reason;
    state.device = openDevice(reason);
    if (state.device == 0) {
        state.device = openDummyDevice(reason);
    }
    if (state.device == 0) {
        showMessage("BASS", "BASS error", state.windowHandle);
        return;
    }
    // The device pulls silence until play.
    SDL_PauseAudioDevice(state.device, 0);
}

void Music::open(const char* fileName) {
    DecodedMusic decoded;
    std::string error;
    std::unique_ptr<MusicStream> opened;
    if (fileName != nullptr && decodeMusicFile(fileName, decoded, error)) {
        opened = std::make_unique<MusicStream>(std::move(decoded));
        opened->setDeviceDelay(state.virtualMode ? 0 : state.deviceDelay);
    }
    {
        DeviceLock lock;
        state.stream.swap(opened);
    }
    if (!state.stream) {
        fprintf(stderr, "music: %s\n", fileName != nullptr ? error.c_str() : "no file name given");
        showMessage("BASS", "BASS error, file not found?", state.windowHandle);
    }
}

void Music::play(double startSeconds) {
    // A failed open was reported once; what follows on the missing stream is quiet.
    if (!state.stream) {
        return;
    }
    if (state.virtualMode) {
        state.stream->play(startSeconds, 0.0);
        state.virtualFrame = state.stream->heardFrame(0.0);
        return;
    }
    DeviceLock lock;
    if (state.device == 0) {
        state.stream->seek(startSeconds, steadySeconds());
        showMessage("BASS", "BASS error, can not play stream?", state.windowHandle);
        return;
    }
    state.stream->play(startSeconds, steadySeconds());
}

void Music::pause() {
    if (state.stream && !state.virtualMode) {
        DeviceLock lock;
        state.stream->pause(steadySeconds());
    }
}

void Music::resume() {
    if (state.stream && !state.virtualMode) {
        DeviceLock lock;
        state.stream->resume(steadySeconds());
    }
}

void Music::setVolume(int volume) {
    if (state.stream) {
        DeviceLock lock;
        state.stream->setVolume(volume);
    }
}

void Music::seek(double seconds) {
    if (!state.stream) {
        return;
    }
    if (state.virtualMode) {
        state.stream->seek(seconds, 0.0);
        state.virtualFrame = state.stream->heardFrame(0.0);
        return;
    }
    DeviceLock lock;
    state.stream->seek(seconds, steadySeconds());
}

float Music::position() {
    if (!state.stream) {
        return 0.0f;
    }
    return MusicStream::secondsAt(readHeardFrame());
}

void Music::spectrum(float* magnitudes) {
    if (!state.stream) {
        std::fill(magnitudes, magnitudes + MusicSpectrum::binCount, 0.0f);
        return;
    }
    // The analysis reads only the decoded frames, so it runs outside the lock.
    state.stream->spectrumAt(readHeardFrame(), magnitudes);
}

void Music::spectrumAt(double seconds, float* magnitudes) {
    if (!state.stream) {
        std::fill(magnitudes, magnitudes + MusicSpectrum::binCount, 0.0f);
        return;
    }
    state.stream->spectrumAt(MusicStream::frameAt(seconds), magnitudes);
}

bool Music::hasStream() {
    return state.stream && (state.virtualMode || state.device != 0);
}

void Music::enableVirtualMode() {
    if (state.device != 0) {
        SDL_CloseAudioDevice(state.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.device = 0;
    }
    state.deviceDelay = 0;
    state.virtualMode = true;
    state.virtualFrame = 0.0;
}

void Music::setVirtualPosition(double seconds) {
    state.virtualFrame = MusicStream::frameAt(seconds);
}

int64_t Music::bytePosition(double seconds) {
    return state.stream ? state.stream->bytePosition(seconds) : 0;
}

double Music::duration() {
    return state.stream ? state.stream->music().seconds() : 0.0;
}

void Music::close() {
    if (state.device != 0) {
        SDL_CloseAudioDevice(state.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    state.device = 0;
    state.deviceDelay = 0;
    state.stream.reset();
    state.virtualMode = false;
    state.virtualFrame = 0.0;
    state.windowHandle = nullptr;
}
