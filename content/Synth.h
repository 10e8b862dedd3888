#pragma once

#include <vector>

// The soundtrack's sample rate, fixed by the player's byte-per-second measure.
constexpr int kSampleRate = 44100;

using MonoSamples = std::vector<float>;

float midiToHz(float note);

// Where a rendered note goes: pan -1 (left) to 1 (right), and how much of it
// feeds the echo and the reverb besides the dry mix.
struct Send {
    float gain = 1;
    float pan = 0;
    float delay = 0;
    float reverb = 0.15f;
};

// The song in three stereo buses (dry, echo send, reverb send) that are mixed
// down at the end.
class Mixer {
public:
    explicit Mixer(double seconds);

    void place(double startSeconds, const MonoSamples& samples, const Send& send);
    int frames() const { return frameCount; }

    // Echo (stereo ping-pong) and reverb applied to their sends, everything summed,
    // softly limited and scaled so the loudest sample sits just under full scale.
    // Returns interleaved left/right.
    std::vector<float> mixDown(double echoSeconds, float echoFeedback) const;

private:
    int frameCount;
    std::vector<float> dry[2], echo[2], reverb[2];
};

// Instruments: each renders one note into mono samples (release tail included).
namespace Instrument {

// Warm detuned saws under a slowly breathing filter.
MonoSamples pad(float hz, double seconds, float velocity, float brightness);
// A short filtered saw: chord stabs and arpeggios.
MonoSamples pluck(float hz, double seconds, float velocity, float brightness);
// Saw and square through a resonant low-pass; drive > 0 adds grit.
MonoSamples bass(float hz, double seconds, float velocity, float drive);
// A pure low sine with a soft attack.
MonoSamples sub(float hz, double seconds, float velocity);
// Two-operator FM voice with delayed vibrato.
MonoSamples lead(float hz, double seconds, float velocity);
// Inharmonic FM bell.
MonoSamples bell(float hz, float velocity);
// heavy: longer, deeper and driven.
MonoSamples kick(float velocity, bool heavy);
MonoSamples snare(float velocity, unsigned seed);
MonoSamples hat(float velocity, bool open, unsigned seed);
// Filtered noise rising in pitch and level: the build into a new section.
MonoSamples riser(double seconds, float velocity, unsigned seed);
// A long noise wash: cymbal crash or wind.
MonoSamples wash(double seconds, float velocity, float tone, unsigned seed);

} // namespace Instrument
