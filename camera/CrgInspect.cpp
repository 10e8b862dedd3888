#include "camera/CrgInspect.h"

#include "camera/TrackBank.h"
#include "core/Demo.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void appendf(std::string& out, const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    out += line;
}

std::string modeName(int mode) {
    static const char* const letters[5] = {"S", "L", "T", "C", "Q"};
    if (mode >= 0 && mode <= 4) {
        return letters[mode];
    }
    return "mode " + std::to_string(mode) + " (read as linear)";
}

} // namespace

bool describeCrg(const std::string& fileName, std::string& report) {
    std::unique_ptr<CameraTrack[]> tracks(new CameraTrack[trackBankSize]);
    TrackBankRead read = loadTrackBank(fileName, tracks.get());
    if (!read.opened) {
        appendf(report, "%s: %s\n", fileName.c_str(), read.problem.c_str());
        return false;
    }

    // The names the demo gives its controllers.
    Demo names;
    long keys = 0;
    for (int k = 0; k < read.tracksRead; ++k) {
        keys += tracks[k].count;
    }
    appendf(report, "%s: crg camera-track bank, %zu bytes, %d of %d track records, %ld keys\n",
            fileName.c_str(), read.fileBytes, read.tracksRead, trackBankSize, keys);

    for (int k = 0; k < read.tracksRead; ++k) {
        const CameraTrack& track = tracks[k];
        if (track.count == 0) {
            continue;
        }
        float first = track.data[0].time;
        float last = track.data[track.count - 1].time;
        bool ordered = true;
        for (int i = 1; i < track.count; ++i) {
            ordered = ordered && !(track.data[i].time < track.data[i - 1].time);
        }
        appendf(report, "track %d \"%s\": %d key%s, %.3f .. %.3f s%s\n", k,
                names.controllerNames[k].c_str(), track.count, track.count == 1 ? "" : "s", first,
                last, ordered ? "" : " (keys not in time order; the next added key sorts them)");
        for (int i = 0; i < track.count; ++i) {
            const CameraKey& key = track.data[i];
            appendf(report, "  %d: (%.3f, %.3f, %.3f) at %.3f s %s\n", i, key.x, key.y, key.z,
                    key.time, modeName(key.mode).c_str());
        }
    }

    if (!read.problem.empty()) {
        appendf(report, "damaged: %s; the tracks from there on are read as empty\n",
                read.problem.c_str());
        return false;
    }
    if (read.bytesUsed < read.fileBytes) {
        size_t extra = read.fileBytes - read.bytesUsed;
        appendf(report, "note: %zu byte%s after the last track record %s ignored\n", extra,
                extra == 1 ? "" : "s", extra == 1 ? "is" : "are");
    }
    return true;
}
