#pragma once

#include <string>
#include <vector>

// How a video is encoded: the quick path for looking at a render, or the one
// for a release, visually lossless at a slower pace.
enum class VideoQuality { Preview, Release };

// A video of consecutive frames of the demo: frames first .. first + count - 1
// of the demo's own grid at `rate` frames a second, width x height pixels.
struct VideoPiece {
    std::string file;
    long first = 0;
    long count = 0;
    double rate = 0.0;
    int width = 0, height = 0;
};

// The ffmpeg command that encodes raw RGBX frames, top row first, from its
// standard input into piece.file, with the soundtrack from `music` under them
// (none when empty). The piece's place in the demo goes into the file, for
// joining pieces later.
std::vector<std::string> encoderCommand(const VideoPiece& piece, VideoQuality quality,
                                        const std::string& music);

// The comment a piece carries, and reading it back.
std::string pieceComment(const VideoPiece& piece);
bool parsePieceComment(const std::string& comment, VideoPiece& piece);

// Reads what a video file holds (through ffprobe): its place in the demo from
// its comment, and in `held` the frames it really holds. On failure returns
// false with the reason.
bool readPiece(const std::string& file, VideoPiece& piece, long& held, std::string& error);

// Why pieces, in the order given, do not make one stretch of the demo: a gap,
// an overlap, another rate or size, a piece cut short. Empty when they do.
std::string piecesMisfit(const std::vector<VideoPiece>& pieces, const std::vector<long>& held);

// Joins pieces into one video without encoding their frames again; the
// soundtrack goes under the whole once. Returns the process exit code and says
// what went wrong on standard error.
int joinVideos(const std::string& output, const std::vector<std::string>& pieceFiles,
               const std::string& music);
