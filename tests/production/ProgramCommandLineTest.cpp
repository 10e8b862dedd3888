// Every program's command line follows the same conventions: --help prints the
// usage to standard output and exits 0, --version prints one line, and an
// option nobody knows is refused with one line and the usage on standard error
// and exit 2. Nothing is written and no window opened: each program runs in an
// empty folder with a video driver that does not exist, so a window it tried
// to open would end it with an error instead.
#include "support/GlTest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Outcome run(const std::string& program, const std::string& arguments, const std::string& folder) {
    TempDir streams;
    std::string command = "cd '" + folder + "' && SDL_VIDEODRIVER=no-such-driver timeout 60 " +
                          stageProgram(program) + " " + arguments + " >" + streams.file("out") +
                          " 2>" + streams.file("err");
    Outcome result;
    int status = system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = contents(streams.file("out"));
    result.err = contents(streams.file("err"));
    return result;
}

TEST(ProgramCommandLine, HelpPrintsTheUsageAndAnUnknownOptionIsRefused) {
    const char* const programs[] = {"lumora-player",  "lumora-player-ms4", "lumora-player-ms6",
                                    "lumora-capture", "lumora-datagen",    "lumora-camrig",
                                    "lumora-inspect", "lumora-cgc",        "lumora-bench"};
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        TempDir work;
        Outcome help = run(program, "--help", work.path());
        EXPECT_EQ(help.status, 0);
        std::string usage = std::string("usage: ") + program;
        ASSERT_GT(help.out.size(), usage.size()) << help.out;
        EXPECT_EQ(help.out.rfind(usage, 0), 0u) << help.out;
        EXPECT_TRUE(help.out[usage.size()] == ' ' || help.out[usage.size()] == '\n') << help.out;
        EXPECT_EQ(help.err, "");

        Outcome version = run(program, "--version", work.path());
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out.rfind(program, 0), 0u) << version.out;
        EXPECT_EQ(version.out.find('\n'), version.out.size() - 1) << version.out;

        Outcome wrong = run(program, "--no-such-option", work.path());
        EXPECT_EQ(wrong.status, 2);
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err,
                  std::string(program) + ": unknown option --no-such-option\n" + help.out);

        EXPECT_TRUE(std::filesystem::is_empty(work.path()));
    }
}

} // namespace
