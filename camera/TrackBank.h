#pragma once

#include "camera/CameraTrack.h"

#include <cstddef>
#include <string>
#include <vector>

// A bank is the 64 tracks of the demo's controllers, stored in a crg file: for
// each track in order a 32-bit key count followed by that many 20-byte keys (x, y,
// z, time, mode), little-endian, nothing else.
constexpr int trackBankSize = 64;
constexpr size_t crgKeyBytes = 20;

// What reading a bank found.
struct TrackBankRead {
    bool opened = false;
    // Records read whole; the tracks after them were left empty.
    int tracksRead = 0;
    // Bytes the records took; anything after them in the file is ignored.
    size_t bytesUsed = 0;
    size_t fileBytes = 0;
    // Empty when the file opened and held all 64 records.
    std::string problem;
};

// Reads records from bytes into tracks[0 .. 63]. A key count that is negative or
// that the bytes left cannot hold, or a file that ends before 64 counts, stops the
// reading: that track and all after it are left empty. Keys keep their file order.
TrackBankRead parseTrackBank(const unsigned char* bytes, size_t size, CameraTrack* tracks);
// The crg bytes of tracks[0 .. 63].
std::vector<unsigned char> encodeTrackBank(const CameraTrack* tracks);

// Reads a bank file into tracks[0 .. 63] without reporting; a file that cannot be
// opened leaves every track empty.
TrackBankRead loadTrackBank(const std::string& fileName, CameraTrack* tracks);
// As loadTrackBank, and reports any problem with the file's name on standard
// error. Returns whether the whole bank was read.
bool readTrackBank(const std::string& fileName, CameraTrack* tracks);
// Reads the bank the demo plays from, where only a whole, sound bank will do:
// all 64 records and nothing after them, every value a finite number, the keys
// of each track in time order (as the editor and the generator write them).
// Anything else is taken for damage: returns false with the reason (not the
// file's name) and leaves every track empty.
bool readPlaybackBank(const std::string& fileName, CameraTrack* tracks, std::string& error);
// Writes the bank to a temporary file beside fileName and renames it over
// fileName, so a failed or interrupted save leaves the old bank as it was.
// Reports a failure with the file's name on standard error and returns false.
bool writeTrackBank(const std::string& fileName, const CameraTrack* tracks);
