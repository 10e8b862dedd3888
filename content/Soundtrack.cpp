#include "content/Soundtrack.h"

#include "content/ContentGroups.h"
#include "content/Mp3Encoder.h"
#include "content/OutputFolder.h"
#include "content/Synth.h"

#include <algorithm>
#include <cmath>

namespace {

// 120 beats a minute: a bar of four beats lasts two seconds. Each section
// starts its own bar grid on its scene change, so downbeats meet the cuts.
constexpr double kBeat = 0.5;
constexpr double kBar = 4 * kBeat;

// D minor. A chord: the bass root and the pad's voicing (MIDI notes).
struct Chord {
    int root;
    int voicing[4];
};

const Chord kDm{38, {57, 62, 65, 69}};
const Chord kBb{34, {58, 62, 65, 70}};
const Chord kF{41, {57, 60, 65, 69}};
const Chord kC{36, {55, 60, 64, 67}};
const Chord kGm{43, {58, 62, 67, 70}};
const Chord kA{45, {57, 61, 64, 69}};

const Chord kVerse[4] = {kDm, kBb, kF, kC};
const Chord kBridge[4] = {kGm, kBb, kF, kA};
const Chord kDark[4] = {kDm, kDm, kBb, kC};

// A melody note: start and length in beats from the phrase start, MIDI pitch.
struct Note {
    double beat, beats;
    int pitch;
};

// Four bars each, over kVerse and over kBridge.
const Note kVerseTune[] = {{0, 1.5, 69},    {1.5, 0.5, 65}, {2, 1, 74},  {3, 1, 72},
                           {4, 1.5, 74},    {5.5, 0.5, 77}, {6, 1, 74},  {7, 1, 70},
                           {8, 2, 72},      {10, 1, 69},    {11, 1, 72}, {12, 1.5, 76},
                           {13.5, 0.5, 74}, {14, 1, 72},    {15, 1, 67}};
const Note kBridgeTune[] = {{0, 1, 74},  {1, 0.5, 70}, {1.5, 0.5, 74}, {2, 2, 79},   {4, 1, 77},
                            {5, 1, 74},  {6, 1, 70},   {7, 1, 72},     {8, 1.5, 69}, {9.5, 0.5, 72},
                            {10, 2, 77}, {12, 1, 76},  {13, 1, 73},    {14, 2, 69}};

// Writes the parts of the song into the mixer, section by section.
class Composer {
public:
    explicit Composer(Mixer& target) : mixer(target) {}

    void opening();
    void city();
    void clouds();
    void secondSea();
    void greetings();
    void planet();
    void metaballs();
    void outro();

private:
    void pads(double start, double end, const Chord* chords, double chordSeconds, float velocity,
              float brightness, float reverb);
    void tune(double start, const Note* notes, int count, int transpose, float velocity,
              const Send& send);
    void fourOnTheFloor(double start, int bars, float velocity, bool heavy);
    void backbeat(double start, int bars, float velocity);
    void hats(double start, int bars, float velocity, int perBeat, bool openOffbeats);
    void bassEighths(double start, const Chord* chords, int bars, float velocity, float drive,
                     int octave);
    void stabs(double start, const Chord* chords, int bars, float velocity);
    void arpeggio(double start, const Chord* chords, int bars, int perBeat, float velocity,
                  int octave, const Send& send);
    void crash(double at, float velocity) {
        mixer.place(at, Instrument::wash(2.5, velocity, 6000, seed++), {1, 0.2f, 0.0f, 0.3f});
    }

    Mixer& mixer;
    unsigned seed = 1;
};

void Composer::pads(double start, double end, const Chord* chords, double chordSeconds,
                    float velocity, float brightness, float reverb) {
    int index = 0;
    for (double t = start; t < end - 0.5; t += chordSeconds, ++index) {
        const Chord& chord = chords[index % 4];
        const double length = std::min(chordSeconds, end - t);
        for (int v = 0; v < 4; ++v)
            mixer.place(t,
                        Instrument::pad(midiToHz(chord.voicing[v]), length, velocity, brightness),
                        {1, -0.6f + 0.4f * v, 0.0f, reverb});
    }
}

void Composer::tune(double start, const Note* notes, int count, int transpose, float velocity,
                    const Send& send) {
    for (int i = 0; i < count; ++i) {
        const Note& n = notes[i];
        mixer.place(
            start + n.beat * kBeat,
            Instrument::lead(midiToHz(n.pitch + transpose), n.beats * kBeat * 0.92, velocity),
            send);
    }
}

void Composer::fourOnTheFloor(double start, int bars, float velocity, bool heavy) {
    const MonoSamples k = Instrument::kick(velocity, heavy);
    for (int b = 0; b < bars * 4; ++b)
        mixer.place(start + b * kBeat, k, {1, 0, 0, heavy ? 0.02f : 0.05f});
}

void Composer::backbeat(double start, int bars, float velocity) {
    for (int bar = 0; bar < bars; ++bar)
        for (int beat : {1, 3})
            mixer.place(start + bar * kBar + beat * kBeat, Instrument::snare(velocity, seed++),
                        {1, 0.05f, 0.0f, 0.25f});
}

void Composer::hats(double start, int bars, float velocity, int perBeat, bool openOffbeats) {
    const int steps = bars * 4 * perBeat;
    for (int s = 0; s < steps; ++s) {
        const double t = start + s * kBeat / perBeat;
        const bool offbeat = perBeat >= 2 && s % perBeat == perBeat / 2;
        // Accents on the beat and the off-beat give the groove its swing of weight.
        const float accent = s % perBeat == 0 ? 1.0f : (offbeat ? 0.8f : 0.55f);
        const bool open = openOffbeats && offbeat;
        mixer.place(t, Instrument::hat(velocity * accent, open, seed++), {1, 0.35f, 0.0f, 0.1f});
    }
}

void Composer::bassEighths(double start, const Chord* chords, int bars, float velocity, float drive,
                           int octave) {
    // Root, root, octave, root: the pump under the beat.
    const int pattern[8] = {0, 0, 12, 0, 0, 12, 0, 7};
    for (int bar = 0; bar < bars; ++bar) {
        const int root = chords[bar % 4].root + 12 * octave;
        for (int e = 0; e < 8; ++e)
            mixer.place(start + bar * kBar + e * kBeat / 2,
                        Instrument::bass(midiToHz(root + pattern[e]), kBeat / 2 * 0.8,
                                         velocity * (e % 2 ? 0.8f : 1.0f), drive),
                        {1, 0, 0, 0.02f});
    }
}

void Composer::stabs(double start, const Chord* chords, int bars, float velocity) {
    for (int bar = 0; bar < bars; ++bar)
        for (int beat = 0; beat < 4; ++beat)
            for (int v = 1; v < 4; ++v)
                mixer.place(
                    start + bar * kBar + beat * kBeat + kBeat / 2,
                    Instrument::pluck(midiToHz(chords[bar % 4].voicing[v]), 0.12, velocity, 0.6f),
                    {1, -0.4f + 0.4f * v, 0.25f, 0.2f});
}

void Composer::arpeggio(double start, const Chord* chords, int bars, int perBeat, float velocity,
                        int octave, const Send& send) {
    const int order[8] = {0, 1, 2, 3, 2, 1, 3, 1};
    const int steps = 4 * perBeat;
    for (int bar = 0; bar < bars; ++bar)
        for (int s = 0; s < steps; ++s) {
            const int pitch = chords[bar % 4].voicing[order[s % 8]] + 12 * octave;
            Send placed = send;
            placed.pan = send.pan * (s % 2 ? 1 : -1);
            mixer.place(start + bar * kBar + s * kBeat / perBeat,
                        Instrument::pluck(midiToHz(pitch), kBeat / perBeat, velocity, 0.8f),
                        placed);
        }
}

void Composer::opening() {
    // Calm: long pads under the waves, a few bells, the surf.
    const double end = SongTime::kCity;
    pads(0, end + 1, kVerse, 2 * kBar, 0.22f, 0.35f, 0.5f);
    const int bells[7] = {81, 77, 81, 76, 81, 77, 84};
    for (int i = 0; i < 6; ++i)
        mixer.place(1.0 + i * 2 * kBar, Instrument::bell(midiToHz(bells[i]), 0.1f),
                    {1, i % 2 ? 0.5f : -0.5f, 0.5f, 0.5f});
    for (double t = 0; t < end; t += 6)
        mixer.place(t, Instrument::wash(7, 0.05f, 700, seed++), {1, 0, 0, 0.3f});
    mixer.place(end - 2 * kBar, Instrument::riser(2 * kBar, 0.12f, seed++), {1, 0, 0, 0.3f});
}

void Composer::city() {
    // Driving: four on the floor, pumping bass, off-beat stabs, then the tune.
    const double s = SongTime::kCity;
    const int bars = 12;
    crash(s, 0.25f);
    fourOnTheFloor(s, bars, 0.8f, false);
    backbeat(s, bars, 0.4f);
    hats(s, bars, 0.1f, 4, true);
    bassEighths(s, kVerse, bars, 0.3f, 0.2f, 0);
    stabs(s, kVerse, bars, 0.09f);
    pads(s, s + bars * kBar, kVerse, kBar, 0.08f, 0.5f, 0.3f);
    tune(s + 4 * kBar, kVerseTune, 15, 0, 0.16f, {1, 0.1f, 0.3f, 0.25f});
    tune(s + 8 * kBar, kVerseTune, 15, 12, 0.1f, {1, -0.1f, 0.3f, 0.25f});
}

void Composer::clouds() {
    // Air: bright pads, an arpeggio drifting in echoes, wind, no drums at all.
    const double s = SongTime::kClouds;
    const int bars = 16;
    crash(s, 0.2f);
    pads(s, SongTime::kSecondSea + 0.5, kBridge, 2 * kBar, 0.2f, 0.8f, 0.6f);
    arpeggio(s, kBridge, bars, 2, 0.06f, 1, {1, 0.6f, 0.6f, 0.5f});
    for (double t = s; t < SongTime::kSecondSea; t += 4)
        mixer.place(t, Instrument::wash(5, 0.04f, 2500, seed++), {1, 0, 0, 0.5f});
    hats(s + 8 * kBar, 8, 0.035f, 2, false);
    tune(s + 8 * kBar, kBridgeTune, 14, 0, 0.12f, {1, 0, 0.5f, 0.5f});
    tune(s + 12 * kBar, kBridgeTune, 14, 0, 0.1f, {1, 0, 0.5f, 0.5f});
}

void Composer::secondSea() {
    // Half time: kick on one, snare on three, the tune over a sustained bass.
    const double s = SongTime::kSecondSea;
    const int bars = 12;
    crash(s, 0.2f);
    for (int bar = 0; bar < bars; ++bar) {
        const double b = s + bar * kBar;
        mixer.place(b, Instrument::kick(0.7f, false), {1, 0, 0, 0.05f});
        mixer.place(b + 2.5 * kBeat, Instrument::kick(0.5f, false), {1, 0, 0, 0.05f});
        mixer.place(b + 2 * kBeat, Instrument::snare(0.35f, seed++), {1, 0, 0.15f, 0.35f});
        mixer.place(b, Instrument::bass(midiToHz(kVerse[bar % 4].root), kBar * 0.9, 0.22f, 0.0f),
                    {1, 0, 0, 0.02f});
    }
    hats(s, bars, 0.07f, 2, false);
    pads(s, s + bars * kBar, kVerse, kBar, 0.14f, 0.5f, 0.5f);
    tune(s + 2 * kBar, kVerseTune, 15, 0, 0.15f, {1, 0, 0.35f, 0.35f});
    tune(s + 6 * kBar, kBridgeTune, 14, 0, 0.15f, {1, 0, 0.35f, 0.35f});
}

void Composer::greetings() {
    // The full groove again, with the bridge tune on top.
    const double s = SongTime::kGreetings;
    const int bars = 12;
    crash(s, 0.25f);
    fourOnTheFloor(s, bars, 0.75f, false);
    backbeat(s, bars, 0.42f);
    hats(s, bars, 0.1f, 4, true);
    bassEighths(s, kBridge, bars, 0.3f, 0.25f, 0);
    stabs(s, kBridge, bars, 0.08f);
    pads(s, s + bars * kBar, kBridge, kBar, 0.08f, 0.6f, 0.3f);
    tune(s, kBridgeTune, 14, 0, 0.15f, {1, 0.15f, 0.3f, 0.25f});
    tune(s + 4 * kBar, kBridgeTune, 14, 12, 0.09f, {1, -0.15f, 0.3f, 0.25f});
    arpeggio(s + 8 * kBar, kBridge, 4, 4, 0.05f, 1, {1, 0.5f, 0.3f, 0.2f});
}

void Composer::planet() {
    // A broken beat and a fast arpeggio, building towards the metaballs.
    const double s = SongTime::kPlanet;
    const int bars = 12;
    crash(s, 0.2f);
    for (int bar = 0; bar < bars; ++bar) {
        const double b = s + bar * kBar;
        for (double beat : {0.0, 1.75, 2.5})
            mixer.place(b + beat * kBeat, Instrument::kick(0.6f, false), {1, 0, 0, 0.05f});
        for (double beat : {1.0, 3.0})
            mixer.place(b + beat * kBeat, Instrument::snare(0.3f, seed++), {1, 0, 0.1f, 0.3f});
    }
    hats(s, bars, 0.08f, 4, false);
    arpeggio(s, kVerse, bars, 4, 0.06f, 0, {1, 0.5f, 0.35f, 0.3f});
    pads(s, s + bars * kBar, kVerse, 2 * kBar, 0.14f, 0.6f, 0.5f);
    for (int bar = 0; bar < bars; ++bar)
        mixer.place(s + bar * kBar,
                    Instrument::bass(midiToHz(kVerse[bar % 4].root + 12), kBar * 0.45, 0.16f, 0.0f),
                    {1, 0, 0, 0.05f});
    mixer.place(SongTime::kMetaballs - 2 * kBar, Instrument::riser(2 * kBar, 0.2f, seed++),
                {1, 0, 0, 0.3f});
}

void Composer::metaballs() {
    // Heavy: a deep driven kick on every beat and a sub bass an octave under the
    // groove's, so the lowest band swells with the glow. Their levels keep that
    // band below about 0.8 on the loudest kicks: the glow grows with the fourth
    // power of its gamma, and above that it floods the picture white.
    const double s = SongTime::kMetaballs;
    const int bars = 12;
    crash(s, 0.35f);
    fourOnTheFloor(s, bars, 0.4f, true);
    backbeat(s, bars, 0.5f);
    hats(s, bars, 0.11f, 4, true);
    bassEighths(s, kDark, bars, 0.24f, 0.7f, -1);
    for (int bar = 0; bar < bars; ++bar)
        mixer.place(s + bar * kBar,
                    Instrument::sub(midiToHz(kDark[bar % 4].root - 12), kBar, 0.1f), {1, 0, 0, 0});
    pads(s, s + bars * kBar, kDark, kBar, 0.1f, 0.7f, 0.3f);
    tune(s + 4 * kBar, kVerseTune, 15, 0, 0.14f, {1, 0.1f, 0.35f, 0.25f});
}

void Composer::outro() {
    // The sea again: a last swell of pads, the tune in bells, then silence.
    const double s = SongTime::kOutro;
    crash(s, 0.3f);
    const Chord ending[4] = {kDm, kBb, kDm, kDm};
    pads(s, s + 11, ending, 4, 0.2f, 0.4f, 0.6f);
    for (int i = 0; i < 8; ++i) {
        const Note& n = kVerseTune[i];
        mixer.place(s + 1 + n.beat * kBeat * 1.5, Instrument::bell(midiToHz(n.pitch + 12), 0.07f),
                    {1, i % 2 ? 0.4f : -0.4f, 0.5f, 0.5f});
    }
}

} // namespace

std::vector<float> renderSoundtrack() {
    Mixer mixer(SongTime::kLength);
    Composer composer(mixer);
    composer.opening();
    composer.city();
    composer.clouds();
    composer.secondSea();
    composer.greetings();
    composer.planet();
    composer.metaballs();
    composer.outro();
    // A dotted eighth echo, the classic companion of a straight beat.
    return mixer.mixDown(0.75 * kBeat, 0.45f);
}

void writeSoundtrack(OutputFolder& folder) {
    folder.write("data/music.mp3", encodeSoundtrack(renderSoundtrack()));
}

std::vector<unsigned char> encodeSoundtrack(const std::vector<float>& interleaved) {
    std::string error;
    std::vector<unsigned char> encoded =
        encodeMp3(interleaved.data(), interleaved.size() / 2, 2, kSampleRate, 192, error);
    if (encoded.empty())
        throw ContentError("data/music.mp3: " + error);
    return encoded;
}
