#include "core/Seek.h"

#include <algorithm>
#include <cmath>

long FrameGrid::firstFrame() const {
    // The smallest k with origin + k / rate >= 0.
    long frame = static_cast<long>(std::ceil(-origin * rate));
    while (time(frame) < 0.0) {
        ++frame;
    }
    while (time(frame - 1) >= 0.0) {
        --frame;
    }
    return frame;
}

bool FrameGrid::frameAt(double seconds, long& frame) const {
    const double position = (seconds - origin) * rate;
    const double nearest = std::nearbyint(position);
    if (std::fabs(position - nearest) > 1e-3) {
        frame = -1;
        return false;
    }
    frame = static_cast<long>(nearest);
    return true;
}

FrameGrid FrameGrid::through(double seconds, double rate, long& frame) {
    FrameGrid own{rate, 0.0};
    if (own.frameAt(seconds, frame)) {
        return own;
    }
    frame = 0;
    return FrameGrid{rate, seconds};
}

SeekPlan::SeekPlan(const GrowArray<TimelineEntry>& timeline) {
    for (int i = 0; i < timeline.count; ++i) {
        const TimelineEntry& entry = timeline.data[i];
        // The main loop's test: start <= time < start + duration, in floats.
        borders.push_back(entry.start);
        borders.push_back(entry.start + entry.duration);
    }
    std::sort(borders.begin(), borders.end());
    borders.erase(std::unique(borders.begin(), borders.end()), borders.end());
}

int SeekPlan::stretchOf(float time) const {
    return static_cast<int>(std::upper_bound(borders.begin(), borders.end(), time) -
                            borders.begin());
}

bool SeekPlan::draws(const FrameGrid& grid, long frame, long target) const {
    if (frame >= target - framesBefore) {
        return true;
    }
    const int stretch = stretchOf(static_cast<float>(grid.time(frame)));
    if (stretch == stretchOf(static_cast<float>(grid.time(target)))) {
        return false;
    }
    // One of the last frames of an earlier stretch.
    for (int k = 1; k <= framesAtStretchEnd; ++k) {
        if (stretchOf(static_cast<float>(grid.time(frame + k))) != stretch) {
            return true;
        }
    }
    return false;
}
