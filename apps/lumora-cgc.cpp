// lumora-cgc: the Cg translator on the command line, with the flags shader
// authors know from cgc. Writes GLSL; on error the listing goes to standard
// error and the exit code is 1.
#include "platform/ShaderContext.h"
#include "resources/cg/Translator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* usage =
    "usage: lumora-cgc -profile arbvp1|arbfp1 [-entry NAME] [-DNAME[=VALUE]] [-I DIR]\n"
    "                  [-o FILE] FILE\n"
    "Translates one Cg entry function to GLSL for the OpenGL compatibility profile.\n"
    "  -profile arbvp1|arbfp1  vertex or fragment program\n"
    "  -entry NAME             entry function (default main)\n"
    "  -DNAME, -DNAME=VALUE    define a macro (as 1, or as VALUE) before the first line\n"
    "  -I DIR, -IDIR           look for #include files in DIR too, after the folder\n"
    "                          of the file that includes them\n"
    "  -o FILE                 write the GLSL to FILE (default standard output)\n"
    "  FILE                    Cg source; - reads standard input\n";

int fail(const std::string& message) {
    std::cerr << "lumora-cgc: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string profileName;
    std::string entry = "main";
    std::string outputPath;
    std::string inputPath;
    std::vector<std::string> sourceArguments;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << usage;
            return 0;
        }
        if (arg.compare(0, 2, "-D") == 0 || arg.compare(0, 2, "-I") == 0) {
            sourceArguments.push_back(arg);
            if (arg.size() == 2 && i + 1 < argc) {
                sourceArguments.push_back(argv[++i]);
            }
            continue;
        }
        if (arg == "-profile" || arg == "-entry" || arg == "-o") {
            const char* v = i + 1 < argc ? argv[++i] : nullptr;
            if (v == nullptr) {
                std::cerr << "lumora-cgc: " << arg << " needs a value\n" << usage;
                return 1;
            }
            (arg == "-profile" ? profileName : arg == "-entry" ? entry : outputPath) = v;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "lumora-cgc: unknown option " << arg << "\n" << usage;
            return 1;
        } else if (inputPath.empty()) {
            inputPath = arg;
        } else {
            std::cerr << "lumora-cgc: more than one input file\n" << usage;
            return 1;
        }
    }
    int profile = 0;
    if (profileName == "arbvp1") {
        profile = ShaderProfile::Vertex;
    } else if (profileName == "arbfp1") {
        profile = ShaderProfile::Fragment;
    } else {
        std::cerr << "lumora-cgc: "
                  << (profileName.empty() ? "no -profile given" : "unknown profile " + profileName)
                  << " (arbvp1 or arbfp1)\n"
                  << usage;
        return 1;
    }
    if (inputPath.empty()) {
        std::cerr << "lumora-cgc: no input file\n" << usage;
        return 1;
    }
    cg::SourceOptions options = cgFileOptions();
    std::string wrong;
    if (!addCgArguments(sourceArguments, options, wrong)) {
        std::cerr << "lumora-cgc: " << wrong << "\n" << usage;
        return 1;
    }

    std::string source;
    if (inputPath == "-") {
        source.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(inputPath, std::ios::binary);
        if (!in) {
            return fail("cannot read " + inputPath + ": " + strerror(errno));
        }
        std::ostringstream text;
        text << in.rdbuf();
        if (in.bad()) {
            return fail("cannot read " + inputPath + ": " + strerror(errno));
        }
        source = text.str();
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
