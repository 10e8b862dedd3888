// The player with its camera bank missing, empty, scrambled in the middle or
// swapped for a folder: it stops with the file's name and the reason and a
// failing exit code, instead of playing frames that look at nothing.
#include "support/GlTest.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A copy of the player in a folder of its own (it changes to its own folder),
// beside the stage's data through links, all but the camera banks.
class Installation {
public:
    Installation() {
        fs::path stage = LUMORA_STAGE_DIR;
        fs::copy_file(stage / "lumora-player", folder.file("lumora-player"));
        fs::create_directory_symlink(stage / "Lumora", folder.file("Lumora"));
        fs::create_directories(folder.file("data/tracks"));
        for (const fs::directory_entry& entry : fs::directory_iterator(stage / "data")) {
            if (entry.path().filename() != "tracks") {
                fs::create_symlink(entry.path(), folder.file("data") / entry.path().filename());
            }
        }
    }
    std::string bank() const { return folder.file("data/tracks/1.crg"); }
    // Runs the player; returns its exit status and puts what it said into output.
    int play(std::string& output) const {
        output.clear();
        return runCommand("timeout 120 " + folder.file("lumora-player"), &output);
    }

private:
    TempDir folder;
};

std::string shippedBank() {
    std::ifstream in(std::string(LUMORA_STAGE_DIR) + "/data/tracks/1.crg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DamagedBank, ThePlayerStopsNamingTheBankAndWhy) {
    Installation install;
    std::string scrambled = shippedBank();
    ASSERT_GT(scrambled.size(), 3000u);
    uint32_t next = 1;
    for (size_t i = scrambled.size() / 3; i < 2 * scrambled.size() / 3; ++i) {
        next = next * 1103515245u + 12345u;
        scrambled[i] = static_cast<char>(next >> 16);
    }
    struct Case {
        const char* what;
        const char* reason;
    } cases[] = {{"missing", "cannot open: No such file"},
                 {"empty", "the file ends after 0 of 64 track records"},
                 {"scrambled", ""},
                 {"a folder", "not a regular file: it is a folder"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(install.bank());
        if (c.what == std::string("empty")) {
            std::ofstream(install.bank(), std::ios::binary);
        } else if (c.what == std::string("scrambled")) {
            std::ofstream(install.bank(), std::ios::binary) << scrambled;
        } else if (c.what == std::string("a folder")) {
            fs::create_directory(install.bank());
        }
        std::string output;
        EXPECT_EQ(install.play(output), 1) << output;
        EXPECT_NE(output.find(std::string("Camera tracks: data/tracks/1.crg: ") + c.reason),
                  std::string::npos)
            << output;
    }
}

} // namespace
