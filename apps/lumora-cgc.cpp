// lumora-cgc: the Cg translator on the command line, with the flags shader
// authors know from cgc. Writes GLSL; on error the listing goes to standard
// error and the exit code is 1 (2 for a mistake on the command line).
#include "platform/CommandLine.h"
#include "platform/ShaderContext.h"
#include "resources/WholeFile.h"
#include "resources/cg/Translator.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const ProgramUsage usage = {
    "lumora-cgc",
    "usage: lumora-cgc -profile arbvp1|arbfp1 [-entry NAME] [-DNAME[=VALUE]] [-I DIR]\n"
    "                  [-o FILE] FILE\n"
    "Translates one Cg entry function to GLSL for the OpenGL compatibility profile.\n"
    "  -profile arbvp1|arbfp1  vertex or fragment program\n"
    "  -entry NAME             entry function (default main)\n"
    "  -DNAME, -DNAME=VALUE    define a macro (as 1, or as VALUE) before the first line\n"
    "  -I DIR, -IDIR           look for #include files in DIR too, after the folder\n"
    "                          of the file that includes them\n"
    "  -o FILE                 write the GLSL to FILE (default standard output)\n"
    "  FILE                    Cg source; - reads standard input\n"
    "  --help, --version       print this or the version and exit\n"};

int fail(const std::string& message) {
    std::cerr << "lumora-cgc: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string entry = "main";
    std::string outputPath;
    std::string inputPath;
    int profile = 0;
    cg::SourceOptions options = cgFileOptions();
    parseCommandLine(argc, argv, usage, [&] {
        CommandLine line(argc, argv);
        std::string profileName;
        std::vector<std::string> sourceArguments;
        while (!line.done()) {
            std::string arg = line.peek();
            if (arg.compare(0, 2, "-D") == 0 || arg.compare(0, 2, "-I") == 0) {
                sourceArguments.push_back(line.take());
                if (arg.size() == 2) {
                    sourceArguments.push_back(line.value(arg.c_str()));
                }
            } else if (line.option("-profile")) {
                profileName = line.value("-profile");
            } else if (line.option("-entry")) {
                entry = line.value("-entry");
            } else if (line.option("-o")) {
                outputPath = line.value("-o");
            } else if (line.atOption() || !inputPath.empty()) {
                line.refuseNext();
            } else {
                inputPath = line.take();
            }
        }
        if (profileName == "arbvp1") {
            profile = ShaderProfile::Vertex;
        } else if (profileName == "arbfp1") {
            profile = ShaderProfile::Fragment;
        } else {
            throw UsageError(
                (profileName.empty() ? "no -profile given" : "unknown profile " + profileName) +
                " (arbvp1 or arbfp1)");
        }
        if (inputPath.empty()) {
            throw UsageError("no input file");
        }
        std::string wrong;
        if (!addCgArguments(sourceArguments, options, wrong)) {
            throw UsageError(wrong);
        }
    });

    // The file is checked before it is read: a folder, a device or a file far
    // larger than any shader would otherwise be read as an empty or endless text.
    std::string source;
    std::string reason;
    bool read = inputPath == "-" ? readTextStream(0, source, reason)
                                 : readTextFile(inputPath, source, reason);
    if (!read) {
        return fail((inputPath == "-" ? "standard input" : inputPath) + ": " + reason);
    }

    std::string name = inputPath == "-" ? "<stdin>" : inputPath;
    CgTranslation translation = translateCg(source, entry, profile, name, options);
    std::cerr << translation.listing;
    if (!translation.ok) {
        return 1;
    }
    if (outputPath.empty()) {
        std::cout << translation.glsl;
        std::cout.flush();
        return std::cout ? 0 : fail("cannot write the output");
    }
    std::ofstream out(outputPath, std::ios::binary);
    out << translation.glsl;
    out.close();
    if (!out) {
        return fail("cannot write " + outputPath + ": " + strerror(errno));
    }
    return 0;
}
