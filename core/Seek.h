#pragma once

#include "core/Effect.h"
#include "core/GrowArray.h"

#include <vector>

// A fixed rate of frames: frame k stands at origin + k / rate seconds. The
// demo's own grid at a rate has origin 0; a frame asked for at a time off that
// grid gets a grid of its own through that time.
struct FrameGrid {
    double rate = 30.0;
    double origin = 0.0;

    double time(long frame) const { return origin + static_cast<double>(frame) / rate; }
    // The first frame at or after time 0.
    long firstFrame() const;
    // The frame at `seconds` when that lies on the grid, else -1 in `frame` and
    // false. A time within a thousandth of a frame of one (a frame's time
    // written with a few decimals) is that frame.
    bool frameAt(double seconds, long& frame) const;
    bool operator==(const FrameGrid& other) const {
        return rate == other.rate && origin == other.origin;
    }

    // The grid at `rate` that holds `seconds`: the demo's own where it lies on
    // it, else one through it. `frame` is its number there.
    static FrameGrid through(double seconds, double rate, long& frame);
};

// What a frame can inherit from the frames before it, and so what a seek has to
// reproduce: the camera (the scenes read it one frame late), what effects carry
// over from frame to frame (the metaballs' glow and field), and the GL state
// that frames leave behind. The first two are carried by letting every active
// effect skip the frames that are not drawn. The GL state is the last drawn
// frame's: every scene sets what its own frames read, but some of what the
// scenes before it left behind stays, so a seek draws the last frame of every
// stretch of the timeline (where the set of active entries changes) before the
// target's, and each stretch leaves what it leaves in the whole demo.
class SeekPlan {
public:
    // Frames drawn at the end of every earlier stretch, and right before the
    // target. One and none suffice for the shipped scenes: a scene's frame does
    // not depend on which frame of the same scene came before it.
    static constexpr int framesAtStretchEnd = 1;
    static constexpr int framesBefore = 0;

    // The stretches of `timeline`: every start and end of an entry is a border.
    explicit SeekPlan(const GrowArray<TimelineEntry>& timeline);

    // Which of the frames before `target` a seek draws (the others it skips).
    bool draws(const FrameGrid& grid, long frame, long target) const;
    // The stretch a time lies in, counted in borders at or before it, with the
    // main loop's arithmetic.
    int stretchOf(float time) const;

private:
    std::vector<float> borders; // ascending, each once
};
