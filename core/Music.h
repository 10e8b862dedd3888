#pragma once

#include <cstdint>

// The soundtrack: one stream per process, decoded up front, played through the
// audio device, and the demo's clock while it plays. Errors show a message box
// with caption "BASS" and the run goes on.
namespace Music {

// Opens the audio device (falls back to the silent dummy driver when there is no
// sound card). windowHandle owns the error message boxes.
void init(void* windowHandle);
// Decodes the whole file; on failure there is no stream.
void open(const char* fileName);
// Starts playing from startSeconds (seconds x 176400 bytes, rounded, clamped).
void play(double startSeconds);
void pause();
void resume();
// 0 silent to 100 full.
void setVolume(int volume);
void seek(double seconds);
// Seconds of what is being heard now.
float position();
// 256 magnitudes of the 512 most recent samples heard.
void spectrum(float* magnitudes);
// The same for what is heard at `seconds`, wherever the music stands.
void spectrumAt(double seconds, float* magnitudes);
// Whether a stream was opened and something advances it (the device or the
// virtual clock); without one the demo clocks itself from its timer.
bool hasStream();

// Offline rendering: no device; the caller sets the position, and position and
// spectrum are computed from the decoded samples as in playback.
void enableVirtualMode();
void setVirtualPosition(double seconds);

// The byte position play and seek ask for: seconds x 176400 rounded, clamped to
// the open stream (0 without one).
int64_t bytePosition(double seconds);
// Seconds of decoded audio in the open stream (0 without one).
double duration();
// Closes the device and drops the stream and the virtual mode, so that a later
// init starts afresh.
void close();

} // namespace Music
