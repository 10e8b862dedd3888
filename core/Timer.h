#pragma once

#include <cstdint>

// Seconds from the high-resolution performance counter. Readings are kept as
// 32-bit floats; products and differences are formed in double precision before
// they are stored. Seconds count from the counter value at construction, not from
// the counter's own origin (boot): after a day of uptime a 32-bit float of
// seconds since boot has steps of 8 ms, which would make every frame delta jitter.
class Timer {
public:
    Timer();

    void reset();
    // Seconds since the last reset; does not move the reference of delta().
    float elapsed();
    // Seconds since the previous delta() or reset; does not move elapsed()'s reference.
    float delta();

    int64_t origin = 0;
    int64_t counter = 0;
    int64_t frequency = 0;
    float secondsPerCount = 0.0f;
    float startSeconds = 0.0f;
    float lastElapsed = 0.0f;
    float previousSeconds = 0.0f;

private:
    double readSeconds();
};
