#include "core/CaptureVideo.h"

#include "core/VideoEncoder.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::string number(const char* format, double value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

// What the soundtrack is encoded with: AAC at a rate above what its source
// holds, so nothing more is lost.
const std::vector<std::string> soundCodec = {"-c:a", "aac", "-b:a", "320k"};

// Runs a command line of arguments (no shell) and takes what it prints on
// standard output; false when it does not end with status 0.
// The text between single quotes, for a shell or ffmpeg's concat list: each
// quote in it closes the quotes, stands escaped, and opens them again.
std::string singleQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The soundtrack from `firstSecond` on for `seconds`, as the second input of
// a command whose first input holds the pictures. Sought before it is opened:
// decoded from there, to the sample.
void addSoundtrack(std::vector<std::string>& command, const std::string& music,
                   double firstSecond, double seconds) {
    command.insert(command.end(),
                   {"-ss", number("%.6f", firstSecond), "-t", number("%.6f", seconds), "-i", music,
                    "-map", "0:v", "-map", "1:a"});
}

bool runAndRead(const std::vector<std::string>& arguments, std::string& printed) {
    std::string command;
    for (const std::string& argument : arguments) {
        command += singleQuoted(argument) + " ";
    }
    FILE* pipe = popen((command + "2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    char buffer[4096];
    size_t n;
    printed.clear();
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        printed.append(buffer, n);
    }
    return pclose(pipe) == 0;
}

} // namespace

std::vector<std::string> encoderCommand(const VideoPiece& piece, VideoQuality quality,
                                        const std::string& music) {
    const double firstSecond = static_cast<double>(piece.first) / piece.rate;
    const double seconds = static_cast<double>(piece.count) / piece.rate;
    std::vector<std::string> command = {"ffmpeg",
                                        "-nostdin",
                                        "-v",
                                        "error",
                                        "-y",
                                        "-f",
                                        "rawvideo",
                                        "-pix_fmt",
                                        "rgb0",
                                        "-s",
                                        std::to_string(piece.width) + "x" +
                                            std::to_string(piece.height),
                                        "-r",
                                        number("%.17g", piece.rate),
                                        "-i",
                                        "-"};
    if (!music.empty()) {
        addSoundtrack(command, music, firstSecond, seconds);
    }
    // Colours converted and tagged as HD video has them, at every size.
    command.insert(command.end(),
                   {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-colorspace", "bt709",
                    "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
                    "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    // CRF 17 is visually lossless. The slower presets buy smaller files, not a
    // better picture: at 1080p60 on two cores, sharing them with the renderer,
    // fast encodes 15 frames a second, medium 11.6 and slow 5.7, and fast keeps
    // a whole 1080p60 render near the time of its frames' rendering.
    if (quality == VideoQuality::Release) {
        command.insert(command.end(), {"-profile:v", "high", "-preset", "fast", "-crf", "17"});
    } else {
        command.insert(command.end(), {"-preset", "superfast", "-crf", "20"});
    }
    if (!music.empty()) {
        command.insert(command.end(), soundCodec.begin(), soundCodec.end());
        command.push_back("-shortest");
    }
    command.insert(command.end(), {"-movflags", "+faststart", "-metadata",
                                   "comment=" + pieceComment(piece), piece.file});
    return command;
}

std::string pieceComment(const VideoPiece& piece) {
    return "Meridian: demo frames " + std::to_string(piece.first) + " to " +
           std::to_string(piece.first + piece.count - 1) + " at " + number("%.17g", piece.rate) +
           " fps";
}

bool parsePieceComment(const std::string& comment, VideoPiece& piece) {
    long first = 0, last = 0;
    double rate = 0.0;
    int used = 0;
    if (sscanf(comment.c_str(), "Meridian: demo frames %ld to %ld at %lf fps%n", &first, &last,
               &rate, &used) != 3 ||
        used != static_cast<int>(comment.size()) || last < first || !(rate > 0.0)) {
        return false;
    }
    piece.first = first;
    piece.count = last - first + 1;
    piece.rate = rate;
    return true;
}

bool readPiece(const std::string& file, VideoPiece& piece, long& held, std::string& error) {
    piece = VideoPiece();
    piece.file = file;
    std::string printed;
    if (!runAndRead({"ffprobe", "-v", "error", "-show_entries", "format_tags=comment", "-of",
                     "default=noprint_wrappers=1:nokey=1", file},
                    printed)) {
        error = "ffprobe cannot read it as a video";
        return false;
    }
    while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r')) {
        printed.pop_back();
    }
    if (!parsePieceComment(printed, piece)) {
        error = "it is not a video lumora-capture made of a stretch of the demo";
        return false;
    }
    if (!runAndRead({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                     "-show_entries", "stream=width,height,nb_read_packets", "-of", "csv=p=0",
                     file},
                    printed) ||
        sscanf(printed.c_str(), "%d,%d,%ld", &piece.width, &piece.height, &held) != 3) {
        error = "its video stream cannot be read";
        return false;
    }
    return true;
}

std::string piecesMisfit(const std::vector<VideoPiece>& pieces, const std::vector<long>& held) {
    for (size_t i = 0; i < pieces.size(); ++i) {
        const VideoPiece& piece = pieces[i];
        if (held[i] != piece.count) {
            return piece.file + " holds " + std::to_string(held[i]) + " of its " +
                   std::to_string(piece.count) + " frames: it was stopped before its end";
        }
        if (i == 0) {
            continue;
        }
        const VideoPiece& before = pieces[i - 1];
        if (piece.rate != before.rate) {
            return piece.file + " runs at " + number("%g", piece.rate) + " frames a second, " +
                   before.file + " at " + number("%g", before.rate);
        }
        if (piece.width != before.width || piece.height != before.height) {
            return piece.file + " is " + std::to_string(piece.width) + " x " +
                   std::to_string(piece.height) + ", " + before.file + " " +
                   std::to_string(before.width) + " x " + std::to_string(before.height);
        }
        const long end = before.first + before.count;
        if (piece.first > end) {
            return std::to_string(piece.first - end) + " frames are missing between " +
                   before.file + " and " + piece.file;
        }
        if (piece.first < end) {
            return piece.file + " starts " + std::to_string(end - piece.first) + " frames before " +
                   before.file + " ends (pieces go in the order of time)";
        }
    }
    return "";
}

int joinVideos(const std::string& output, const std::vector<std::string>& pieceFiles,
               const std::string& music) {
    if (!haveProgram("ffmpeg") || !haveProgram("ffprobe")) {
        fprintf(stderr, "lumora-capture: --join needs ffmpeg and ffprobe, which are not "
                        "installed (Debian package ffmpeg)\n");
        return 1;
    }
    std::vector<VideoPiece> pieces;
    std::vector<long> held;
    for (const std::string& file : pieceFiles) {
        VideoPiece piece;
        long frames = 0;
        std::string error;
        if (!readPiece(file, piece, frames, error)) {
            fprintf(stderr, "lumora-capture: %s: %s\n", file.c_str(), error.c_str());
            return 1;
        }
        pieces.push_back(piece);
        held.push_back(frames);
    }
    const std::string misfit = piecesMisfit(pieces, held);
    if (!misfit.empty()) {
        fprintf(stderr, "lumora-capture: the pieces do not join: %s\n", misfit.c_str());
        return 1;
    }

    // The concat demuxer reads the pieces one after the other, each one's times
    // going on from where the one before ended. It takes the pieces' pictures
    // alone: their sound starts early by the encoder's priming and would move
    // every picture after the first piece as much.
    const std::string list = output + ".pieces";
    std::vector<std::string> pictures;
    std::string error;
    bool joined = true;
    {
        std::ofstream listing(list);
        for (size_t i = 0; i < pieceFiles.size() && joined; ++i) {
            pictures.push_back(output + ".piece-" + std::to_string(i) + ".mp4");
            joined = runProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", pieceFiles[i],
                                 "-map", "0:v", "-c", "copy", pictures.back()},
                                error);
            listing << "file " << singleQuoted(pictures.back()) << "\n";
        }
    }
    VideoPiece whole = pieces.front();
    whole.file = output;
    whole.count = 0;
    for (const VideoPiece& piece : pieces) {
        whole.count += piece.count;
    }
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f",
                                        "concat", "-safe",    "0",  "-i",    list};
    if (!music.empty()) {
        addSoundtrack(command, music, static_cast<double>(whole.first) / whole.rate,
                      static_cast<double>(whole.count) / whole.rate);
        command.insert(command.end(), soundCodec.begin(), soundCodec.end());
    } else {
        command.insert(command.end(), {"-map", "0:v"});
    }
    command.insert(command.end(), {"-c:v", "copy", "-movflags", "+faststart", "-metadata",
                                   "comment=" + pieceComment(whole), output});
    joined = joined && runProgram(command, error);
    std::filesystem::remove(list);
    for (const std::string& file : pictures) {
        std::filesystem::remove(file);
    }
    if (!joined) {
        fprintf(stderr, "lumora-capture: %s could not be written: %s\n", output.c_str(),
                error.c_str());
        return 1;
    }
    fprintf(stderr, "lumora-capture: %s: frames %ld to %ld of the demo at %g fps (%.3f s)\n",
            output.c_str(), whole.first, whole.first + whole.count - 1, whole.rate,
            static_cast<double>(whole.count) / whole.rate);
    return 0;
}
