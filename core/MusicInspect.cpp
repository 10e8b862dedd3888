#include "core/MusicInspect.h"

#include "core/MusicDecoder.h"
#include "core/MusicStream.h"

#include <cstdio>
#include <utility>

namespace {

void appendf(std::string& text, const char* format, double value) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, format, value);
    text += buffer;
}

} // namespace

bool summariseMusic(const std::string& fileName, const std::vector<double>& atSeconds,
                    std::string& summary, std::string& error) {
    DecodedMusic decoded;
    if (!decodeMusicFile(fileName, decoded, error)) {
        return false;
    }
    MusicStream stream(std::move(decoded));
    const DecodedMusic& music = stream.music();

    summary = "music \"" + fileName + "\"\n";
    appendf(summary, "duration %.6f s\n", music.seconds());
    summary += "source " + std::to_string(music.sourceRate) + " Hz, " +
               std::to_string(music.sourceChannels) + " channel" +
               (music.sourceChannels == 1 ? "" : "s") + " (played as 44100 Hz stereo)\n";

    // The same path as the player's offline clock: the spectrum of what would be
    // heard at that time.
    float magnitudes[MusicSpectrum::binCount];
    for (double seconds : atSeconds) {
        stream.spectrumAt(MusicStream::frameAt(seconds), magnitudes);
        appendf(summary, "spectrum at %g s:", seconds);
        for (float magnitude : magnitudes) {
            appendf(summary, " %.6g", magnitude);
        }
        summary += "\n";
    }
    return true;
}
