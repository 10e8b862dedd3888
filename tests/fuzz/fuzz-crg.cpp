#include "camera/TrackBank.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CameraTrack tracks[trackBankSize];
    TrackBankRead result = parseTrackBank(data, size, tracks);
    // Whatever was read must sample and write back without trouble.
    for (int k = 0; k < result.tracksRead; ++k) {
        tracks[k].value(1.0f);
    }
    encodeTrackBank(tracks);
    return 0;
}
