#pragma once

#include "core/Demo.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

// Timings of the capture tool's --bench: per frame and per effect, in
// milliseconds and in reference passes.

// Per-effect render times, with glFinish around each render so the GPU work is
// counted where it happens. Storage is reserved before the frames.
class EffectTimes : public EffectObserver {
public:
    void reserve(size_t frames) { capacity = frames; }
    void beforeEffect(const Effect&) override;
    void afterEffect(const Effect& effect) override;
    std::map<std::string, std::vector<double>> byName;

private:
    size_t capacity = 0;
    std::chrono::steady_clock::time_point started;
};

// Prints the median and 95th percentile of a list of render times, and the
// median as a number of reference passes when one was timed.
void printTimes(const char* what, std::vector<double> times, double referenceMs);

// The unit that scene costs are read in: one fullscreen copy of a 1024 x 512
// mipmapped picture over the whole frame, timed in the same context. A ratio to
// it holds from machine to machine where milliseconds do not.
double referencePassMs(Demo& demo);
