// lumora-inspect [--as nmd|ebr|crg|music] FILE... [--at SECONDS]...
// Reads each file with the player's own loader and prints what is in it, or
// FILE: reason for a file the player could not use (exit status 1).

#include "camera/CrgInspect.h"
#include "core/MusicInspect.h"
#include "platform/CommandLine.h"
#include "platform/Fatal.h"
#include "resources/Inspect.h"

#include <cfloat>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The one place that knows every format: a new format adds its branch here.
bool describe(const std::string& format, const std::string& path, const std::vector<float>& times,
              std::string& report, std::string& error) {
    if (format == "nmd") {
        return describeNmd(path, times, report, error);
    }
    if (format == "ebr") {
        return describeEbr(path, report, error);
    }
    if (format == "crg") {
        // A damaged bank's summary ends with the line that names the damage.
        if (describeCrg(path, report)) {
            return true;
        }
        size_t damage = report.rfind("damaged: ");
        error = damage != std::string::npos ? report.substr(damage + 9)
                                            : report.substr(report.find(": ") + 2);
        report.clear();
        while (!error.empty() && error.back() == '\n') {
            error.pop_back();
        }
        return false;
    }
    if (format == "music") {
        return summariseMusic(path, std::vector<double>(times.begin(), times.end()), report, error);
    }
    error = "unknown format \"" + format + "\" (nmd, ebr, crg or music)";
    return false;
}

// The format a file's ending names; empty when it names none.
std::string formatOf(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ending = path.substr(dot + 1);
    for (char& c : ending) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    if (ending == "nmd" || ending == "ebr" || ending == "crg") {
        return ending;
    }
    if (ending == "mp3") {
        return "music";
    }
    return "";
}

const ProgramUsage usage = {
    "lumora-inspect",
    "usage: lumora-inspect [--as nmd|ebr|crg|music] FILE... [--at SECONDS]...\n"
    "Reads each file with the player's own loader and prints what is in it, or\n"
    "FILE: what is wrong with it (exit status 1).\n"
    "  --as FORMAT   read every FILE as nmd, ebr, crg or music (default: by the ending,\n"
    "                .nmd, .ebr, .crg or .mp3)\n"
    "  --at SECONDS  also show an NMD scene's node transforms or the music's spectrum\n"
    "                at that time (repeatable)\n"
    "  --help        print this and exit\n"
    "  --version     print the version and exit\n"};

int inspect(int argc, char** argv) {
    std::string forced;
    std::vector<std::string> files;
    std::vector<float> times;
    parseCommandLine(argc, argv, usage, [&] {
        CommandLine line(argc, argv);
        bool operandsOnly = false;
        while (!line.done()) {
            if (operandsOnly || !line.atOption()) {
                files.push_back(line.take());
            } else if (line.option("--")) {
                operandsOnly = true;
            } else if (line.option("--as")) {
                forced = line.value("--as");
                if (forced != "nmd" && forced != "ebr" && forced != "crg" && forced != "music") {
                    throw UsageError("--as " + forced +
                                     ": unknown format (nmd, ebr, crg or music)");
                }
            } else if (line.option("--at")) {
                times.push_back(static_cast<float>(line.number("--at", -FLT_MAX, FLT_MAX)));
            } else {
                line.refuseNext();
            }
        }
        if (files.empty()) {
            throw UsageError("no file given");
        }
    });

    int status = 0;
    for (const std::string& path : files) {
        std::string format = forced.empty() ? formatOf(path) : forced;
        std::string report, error;
        if (format.empty()) {
            error = "cannot tell the format from the ending; name it with --as";
        } else if (describe(format, path, times, report, error)) {
            fputs(report.c_str(), stdout);
            continue;
        }
        fflush(stdout);
        fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    return runGuarded("lumora-inspect", inspect, argc, argv);
}
