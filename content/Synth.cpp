#include "content/Synth.h"

#include "content/ContentRandom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

// Band-limited saw cycles, one per harmonic limit, so high notes do not alias.
class SawTables {
public:
    static constexpr int kLength = 2048;
    SawTables() {
        const int limits[kTables] = {96, 48, 24, 12, 6};
        for (int t = 0; t < kTables; ++t) {
            limit[t] = limits[t];
            tables[t].resize(kLength);
            for (int i = 0; i < kLength; ++i) {
                double v = 0;
                for (int n = 1; n <= limits[t]; ++n)
                    v += std::sin(kTwoPi * n * i / kLength) / n;
                tables[t][i] = static_cast<float>(v * 0.55);
            }
        }
    }
    const std::vector<float>& forFrequency(double hz) const {
        for (int t = 0; t < kTables; ++t)
            if (hz * limit[t] < 19000)
                return tables[t];
        return tables[kTables - 1];
    }

private:
    static constexpr int kTables = 5;
    std::array<std::vector<float>, kTables> tables;
    int limit[kTables];
};

const SawTables& sawTables() {
    static const SawTables instance;
    return instance;
}

// A saw oscillator reading the table that suits its pitch.
struct Saw {
    Saw(double hz, double startPhase) : table(&sawTables().forFrequency(hz)), phase(startPhase) {
        step = hz / kSampleRate;
    }
    float next() {
        const double position = phase * SawTables::kLength;
        const int i = static_cast<int>(position);
        const float f = static_cast<float>(position - i);
        const float a = (*table)[i % SawTables::kLength];
        const float b = (*table)[(i + 1) % SawTables::kLength];
        phase += step;
        if (phase >= 1)
            phase -= 1;
        return a + (b - a) * f;
    }
    const std::vector<float>* table;
    double phase, step = 0;
};

// Topology-preserving state-variable filter (low-pass output).
struct LowPass {
    float ic1 = 0, ic2 = 0;
    float process(float x, float cutoffHz, float resonance) {
        cutoffHz = std::clamp(cutoffHz, 20.0f, 18000.0f);
        const float g = static_cast<float>(std::tan(kPi * cutoffHz / kSampleRate));
        const float k = 2 - 2 * std::clamp(resonance, 0.0f, 0.95f);
        const float a1 = 1 / (1 + g * (g + k));
        const float a2 = g * a1, a3 = g * a2;
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        return v2;
    }
};

// Attack, hold at full level for the note, exponential release.
float envelope(double t, double attack, double noteLength, double release) {
    if (t < attack)
        return static_cast<float>(t / attack);
    if (t < noteLength)
        return 1;
    return static_cast<float>(std::exp(-(t - noteLength) / (release * 0.25)));
}

MonoSamples buffer(double seconds) {
    return MonoSamples(static_cast<size_t>(std::max(0.0, seconds) * kSampleRate), 0.0f);
}

} // namespace

float midiToHz(float note) {
    return static_cast<float>(440.0 * std::pow(2.0, (note - 69.0) / 12.0));
}

namespace Instrument {

MonoSamples pad(float hz, double seconds, float velocity, float brightness) {
    const double attack = std::min(1.5, seconds * 0.4), release = 2.5;
    MonoSamples out = buffer(seconds + release);
    const float detune[3] = {-0.007f, 0.0f, 0.0065f};
    Saw saws[3] = {Saw(hz * (1 + detune[0]), 0.1), Saw(hz, 0.5), Saw(hz * (1 + detune[2]), 0.8)};
    LowPass filter;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float e = envelope(t, attack, seconds, release);
        const float breath = static_cast<float>(0.5 + 0.5 * std::sin(t * 0.9 + hz * 0.01));
        const float cutoff = hz * (1.5f + brightness * (2.0f + 2.5f * breath) * e);
        const float v = saws[0].next() + saws[1].next() + saws[2].next();
        out[i] = filter.process(v * 0.33f, cutoff, 0.2f) * e * velocity;
    }
    return out;
}

MonoSamples pluck(float hz, double seconds, float velocity, float brightness) {
    const double release = 0.25;
    MonoSamples out = buffer(seconds + release);
    Saw a(hz, 0.0), b(hz * 1.004, 0.3);
    LowPass filter;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float e = envelope(t, 0.003, seconds, release) * static_cast<float>(std::exp(-t * 4));
        const float cutoff =
            hz * (1.2f + brightness * 14.0f * static_cast<float>(std::exp(-t * 18)));
        out[i] = filter.process((a.next() + b.next()) * 0.5f, cutoff, 0.45f) * e * velocity;
    }
    return out;
}

MonoSamples bass(float hz, double seconds, float velocity, float drive) {
    const double release = 0.08;
    MonoSamples out = buffer(seconds + release);
    Saw saw(hz, 0.0), squareA(hz, 0.0), squareB(hz, 0.5);
    LowPass filter;
    double subPhase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float e = envelope(t, 0.004, seconds, release);
        // Two saws half a cycle apart subtract into a square.
        const float square = squareA.next() - squareB.next();
        const float cutoff = hz * (2.0f + 10.0f * static_cast<float>(std::exp(-t * 10)));
        float v = filter.process(saw.next() * 0.6f + square * 0.4f, cutoff, 0.55f);
        subPhase += hz / kSampleRate;
        v += 0.55f * static_cast<float>(std::sin(kTwoPi * subPhase));
        if (drive > 0)
            v = std::tanh(v * (1 + drive * 4)) / std::tanh(1 + drive * 4);
        out[i] = v * e * velocity;
    }
    return out;
}

MonoSamples sub(float hz, double seconds, float velocity) {
    const double release = 0.3;
    MonoSamples out = buffer(seconds + release);
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        phase += hz / kSampleRate;
        out[i] = static_cast<float>(std::sin(kTwoPi * phase)) *
                 envelope(t, 0.05, seconds, release) * velocity;
    }
    return out;
}

MonoSamples lead(float hz, double seconds, float velocity) {
    const double release = 0.4;
    MonoSamples out = buffer(seconds + release);
    double carrier = 0, modulator = 0;
    LowPass filter;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double vibrato =
            1 + 0.006 * std::min(1.0, std::max(0.0, t - 0.25) * 3) * std::sin(kTwoPi * 5.2 * t);
        const double f = hz * vibrato;
        modulator += f * 2 / kSampleRate;
        const double index = 0.6 + 1.4 * std::exp(-t * 6);
        carrier += f / kSampleRate;
        const double v = std::sin(kTwoPi * carrier + index * std::sin(kTwoPi * modulator));
        out[i] = filter.process(static_cast<float>(v), hz * 6, 0.1f) *
                 envelope(t, 0.02, seconds, release) * velocity;
    }
    return out;
}

MonoSamples bell(float hz, float velocity) {
    MonoSamples out = buffer(4.0);
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double index = 2.5 * std::exp(-t * 2.5);
        const double v = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.5 * t));
        const double e = std::exp(-t * 1.3) * std::min(1.0, t * 400);
        out[i] = static_cast<float>(v * e) * velocity;
    }
    return out;
}

MonoSamples kick(float velocity, bool heavy) {
    const double length = heavy ? 0.7 : 0.35;
    MonoSamples out = buffer(length);
    double phase = 0;
    const double top = heavy ? 170 : 150, bottom = heavy ? 42 : 50;
    const double sweep = heavy ? 22 : 30, decay = heavy ? 5.0 : 11.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double hz = bottom + (top - bottom) * std::exp(-t * sweep);
        phase += hz / kSampleRate;
        double v = std::sin(kTwoPi * phase) * std::exp(-t * decay);
        v += 0.3 * std::exp(-t * 400) * std::sin(kTwoPi * 1800 * t); // the beater's click
        if (heavy)
            v = std::tanh(v * 2.2) / std::tanh(2.2);
        out[i] = static_cast<float>(v * std::min(1.0, t * 2000)) * velocity;
    }
    return out;
}

MonoSamples snare(float velocity, unsigned seed) {
    MonoSamples out = buffer(0.3);
    ContentRandom random(seed);
    LowPass body, air;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = random.signedUnit();
        const float bright = noise - air.process(noise, 1800, 0.0f);
        const float tone = static_cast<float>(std::sin(kTwoPi * 185 * t) * std::exp(-t * 30));
        const float rattle =
            body.process(bright, 7000, 0.1f) * static_cast<float>(std::exp(-t * 16));
        out[i] = (tone * 0.55f + rattle * 0.9f) * velocity;
    }
    return out;
}

MonoSamples hat(float velocity, bool open, unsigned seed) {
    MonoSamples out = buffer(open ? 0.35 : 0.06);
    ContentRandom random(seed);
    LowPass low;
    const double decay = open ? 9 : 70;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = random.signedUnit();
        const float high = noise - low.process(noise, 7000, 0.0f);
        out[i] = high * static_cast<float>(std::exp(-t * decay)) * velocity;
    }
    return out;
}

MonoSamples riser(double seconds, float velocity, unsigned seed) {
    MonoSamples out = buffer(seconds);
    ContentRandom random(seed);
    LowPass filter;
    for (size_t i = 0; i < out.size(); ++i) {
        const double x = static_cast<double>(i) / out.size();
        const float cutoff = static_cast<float>(300 * std::pow(30.0, x));
        out[i] = filter.process(random.signedUnit(), cutoff, 0.6f) * static_cast<float>(x * x) *
                 velocity;
    }
    return out;
}

MonoSamples wash(double seconds, float velocity, float tone, unsigned seed) {
    MonoSamples out = buffer(seconds);
    ContentRandom random(seed);
    LowPass filter, low;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = random.signedUnit();
        const float band =
            filter.process(noise, tone, 0.3f) - low.process(noise, tone * 0.3f, 0.0f);
        const double e = std::exp(-t * 3 / seconds) * std::min(1.0, t * 200);
        out[i] = band * static_cast<float>(e) * velocity;
    }
    return out;
}

} // namespace Instrument

Mixer::Mixer(double seconds) : frameCount(static_cast<int>(seconds * kSampleRate)) {
    for (int c = 0; c < 2; ++c) {
        dry[c].assign(frameCount, 0.0f);
        echo[c].assign(frameCount, 0.0f);
        reverb[c].assign(frameCount, 0.0f);
    }
}

void Mixer::place(double startSeconds, const MonoSamples& samples, const Send& send) {
    const long start = std::lround(startSeconds * kSampleRate);
    // Equal-power pan.
    const double angle = (std::clamp(send.pan, -1.0f, 1.0f) + 1) * kPi / 4;
    const float gains[2] = {static_cast<float>(std::cos(angle)) * send.gain,
                            static_cast<float>(std::sin(angle)) * send.gain};
    for (size_t i = 0; i < samples.size(); ++i) {
        const long f = start + static_cast<long>(i);
        if (f < 0)
            continue;
        if (f >= frameCount)
            break;
        for (int c = 0; c < 2; ++c) {
            const float v = samples[i] * gains[c];
            dry[c][f] += v;
            echo[c][f] += v * send.delay;
            reverb[c][f] += v * send.reverb;
        }
    }
}

namespace {

// A small Schroeder reverb: parallel damped combs, then all-passes; the right
// channel's delays are a little longer for width.
void addReverb(const std::vector<float>& in, std::vector<float>& out, int spread) {
    const int combLengths[4] = {1557, 1617, 1491, 1422};
    const int allpassLengths[2] = {225, 556};
    std::vector<float> sum(in.size(), 0.0f);
    for (int length : combLengths) {
        std::vector<float> line(length + spread, 0.0f);
        size_t pos = 0;
        float damp = 0;
        for (size_t i = 0; i < in.size(); ++i) {
            const float y = line[pos];
            damp = y * 0.6f + damp * 0.4f;
            line[pos] = in[i] + damp * 0.84f;
            sum[i] += y;
            pos = (pos + 1) % line.size();
        }
    }
    for (int length : allpassLengths) {
        std::vector<float> line(length + spread, 0.0f);
        size_t pos = 0;
        for (float& v : sum) {
            const float delayed = line[pos];
            line[pos] = v + delayed * 0.5f;
            v = delayed - v;
            pos = (pos + 1) % line.size();
        }
    }
    for (size_t i = 0; i < in.size(); ++i)
        out[i] += sum[i] * 0.25f;
}

} // namespace

std::vector<float> Mixer::mixDown(double echoSeconds, float echoFeedback) const {
    std::vector<float> channel[2] = {dry[0], dry[1]};

    // Ping-pong echo: each repeat crosses to the other side and darkens.
    const size_t echoFrames = static_cast<size_t>(echoSeconds * kSampleRate);
    std::vector<float> line[2] = {std::vector<float>(echoFrames, 0.0f),
                                  std::vector<float>(echoFrames, 0.0f)};
    float tone[2] = {0, 0};
    std::vector<float> echoed[2] = {std::vector<float>(frameCount, 0.0f),
                                    std::vector<float>(frameCount, 0.0f)};
    size_t pos = 0;
    for (int i = 0; i < frameCount; ++i) {
        const float outL = line[0][pos], outR = line[1][pos];
        tone[0] = tone[0] * 0.3f + outL * 0.7f;
        tone[1] = tone[1] * 0.3f + outR * 0.7f;
        line[0][pos] = echo[0][i] + tone[1] * echoFeedback;
        line[1][pos] = echo[1][i] + tone[0] * echoFeedback;
        echoed[0][i] = outL;
        echoed[1][i] = outR;
        pos = (pos + 1) % echoFrames;
    }

    for (int c = 0; c < 2; ++c) {
        std::vector<float> wet = reverb[c];
        for (int i = 0; i < frameCount; ++i) {
            channel[c][i] += echoed[c][i] * 0.6f;
            wet[i] += echoed[c][i] * 0.3f;
        }
        addReverb(wet, channel[c], c * 23);
    }

    // Soft limiting, then one gain for the whole song so its peak is -1 dBFS.
    float peak = 0;
    std::vector<float> interleaved(static_cast<size_t>(frameCount) * 2);
    for (int i = 0; i < frameCount; ++i)
        for (int c = 0; c < 2; ++c) {
            const float v = std::tanh(channel[c][i] * 0.9f);
            interleaved[2 * static_cast<size_t>(i) + c] = v;
            peak = std::max(peak, std::fabs(v));
        }
    if (peak > 0) {
        const float gain = 0.891f / peak;
        for (float& v : interleaved)
            v *= gain;
    }
    return interleaved;
}
