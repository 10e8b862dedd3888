#include "core/Timer.h"

#include <SDL.h>

Timer::Timer() {
    frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    secondsPerCount = static_cast<float>(1.0 / static_cast<double>(frequency));
    origin = static_cast<int64_t>(SDL_GetPerformanceCounter());
    startSeconds = previousSeconds = static_cast<float>(readSeconds());
}

double Timer::readSeconds() {
    counter = static_cast<int64_t>(SDL_GetPerformanceCounter());
    return static_cast<double>(counter - origin) * static_cast<double>(secondsPerCount);
}

void Timer::reset() {
    startSeconds = previousSeconds = static_cast<float>(readSeconds());
}

float Timer::elapsed() {
    lastElapsed = static_cast<float>(readSeconds() - static_cast<double>(startSeconds));
    return lastElapsed;
}

float Timer::delta() {
    double now = readSeconds();
    float result = static_cast<float>(now - static_cast<double>(previousSeconds));
    previousSeconds = static_cast<float>(now);
    return result;
}
