#include "core/MusicStream.h"

#include <algorithm>
#include <cmath>
#include <utility>

MusicStream::MusicStream(DecodedMusic music) : decoded(std::move(music)) {}

int64_t MusicStream::bytePosition(double seconds) const {
    const int64_t streamBytes = frameCount() * DecodedMusic::channels * 2;
    // Written so that NaN lands on the start as well.
    if (!(seconds > 0.0)) {
        return 0;
    }
    if (seconds * DecodedMusic::bytesPerSecond >= static_cast<double>(streamBytes)) {
        return streamBytes;
    }
    return std::llround(seconds * DecodedMusic::bytesPerSecond);
}

int64_t MusicStream::frameFor(double seconds) const {
    return bytePosition(seconds) / (DecodedMusic::channels * 2);
}

void MusicStream::play(double seconds, double now) {
    seek(seconds, now);
    isRunning = true;
}

void MusicStream::seek(double seconds, double now) {
    cursor = frameFor(seconds);
    placedFrame = cursor;
    bufferStart = cursor;
    bufferTime = now;
}

void MusicStream::pause(double now) {
    if (!isRunning) {
        return;
    }
    // What the device still holds is dropped; resume starts from what was heard.
    cursor = static_cast<int64_t>(heardFrame(now));
    placedFrame = cursor;
    bufferStart = cursor;
    bufferTime = now;
    isRunning = false;
}

void MusicStream::resume(double now) {
    if (isRunning) {
        return;
    }
    placedFrame = cursor;
    bufferStart = cursor;
    bufferTime = now;
    isRunning = true;
}

void MusicStream::setDeviceDelay(int frames) {
    deviceDelay = std::max(frames, 0);
}

void MusicStream::setVolume(int volume) {
    volumePercent = std::clamp(volume, 0, 100);
}

void MusicStream::handTo(int16_t* out, int frames, double now) {
    if (!isRunning) {
        std::fill(out, out + frames * DecodedMusic::channels, int16_t(0));
        return;
    }
    const int64_t available = std::clamp<int64_t>(frameCount() - cursor, 0, frames);
    if (available > 0) {
        const int16_t* source = decoded.samples.data() + cursor * DecodedMusic::channels;
        for (int64_t i = 0; i < available * DecodedMusic::channels; ++i) {
            out[i] = static_cast<int16_t>(source[i] * volumePercent / 100);
        }
    }
    std::fill(out + available * DecodedMusic::channels, out + frames * DecodedMusic::channels,
              int16_t(0));
    bufferStart = cursor;
    bufferTime = now;
    cursor += frames;
}

double MusicStream::heardFrame(double now) const {
    const double handed = static_cast<double>(cursor - bufferStart);
    const double played = (now - bufferTime) * DecodedMusic::rate;
    const double heard =
        static_cast<double>(bufferStart - deviceDelay) + std::clamp(played, 0.0, handed);
    return std::max(heard, static_cast<double>(placedFrame));
}

double MusicStream::frameAt(double seconds) {
    return seconds > 0.0 ? seconds * DecodedMusic::rate : 0.0;
}

float MusicStream::secondsAt(double frame) {
    return static_cast<float>(frame / DecodedMusic::rate);
}

void MusicStream::spectrumAt(double frame, float* magnitudes) {
    analyser.analyse(decoded.samples.data(), frameCount(), static_cast<int64_t>(std::floor(frame)),
                     magnitudes);
}
