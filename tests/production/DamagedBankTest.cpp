// The player with its camera bank missing, empty, scrambled in the middle or
// swapped for a folder, or with the city scrambled: it stops with the file's
// name and the reason and a failing exit code, instead of playing frames that
// look at nothing or show nothing.
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
// beside the stage's data through links, all but one of its folders (the
// camera banks by default), which is left empty for the test to fill.
class Installation {
public:
    explicit Installation(const std::string& own = "tracks") {
        fs::path stage = LUMORA_STAGE_DIR;
        fs::copy_file(stage / "lumora-player", folder.file("lumora-player"));
        fs::create_directory_symlink(stage / "Lumora", folder.file("Lumora"));
        fs::create_directories(folder.file("data/" + own));
        for (const fs::directory_entry& entry : fs::directory_iterator(stage / "data")) {
            if (entry.path().filename() != own) {
                fs::create_symlink(entry.path(), folder.file("data") / entry.path().filename());
            }
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(stage / "data" / own)) {
            fs::copy(entry.path(), folder.file("data/" + own) / entry.path().filename(),
                     fs::copy_options::recursive);
        }
    }
    std::string file(const std::string& name) const { return folder.file(name); }
    std::string bank() const { return folder.file("data/tracks/1.crg"); }
    // Runs the player; returns its exit status and puts what it said into output.
    int play(std::string& output) const {
        output.clear();
        return runCommand("timeout 120 " + folder.file("lumora-player"), &output);
    }

private:
    TempDir folder;
};

std::string shipped(const std::string& name) {
    std::ifstream in(std::string(LUMORA_STAGE_DIR) + "/data/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The middle third overwritten with the generator's bytes.
std::string scrambled(std::string bytes) {
    uint32_t next = 1;
    for (size_t i = bytes.size() / 3; i < 2 * bytes.size() / 3; ++i) {
        next = next * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(next >> 16);
    }
    return bytes;
}

TEST(DamagedBank, ThePlayerStopsNamingTheBankAndWhy) {
    Installation install;
    const std::string bank = shipped("tracks/1.crg");
    ASSERT_GT(bank.size(), 3000u);
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
            std::ofstream(install.bank(), std::ios::binary) << scrambled(bank);
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

TEST(DamagedScene, ThePlayerStopsNamingTheSceneAndWhy) {
    Installation install("citymaps");
    const std::string city = shipped("citymaps/city.nmd");
    ASSERT_GT(city.size(), 3000u);
    std::ofstream(install.file("data/citymaps/city.nmd"), std::ios::binary) << scrambled(city);
    std::string output;
    EXPECT_EQ(install.play(output), 1) << output;
    EXPECT_NE(output.find("NMD scene data/citymaps/city.nmd: "), std::string::npos) << output;
}

} // namespace
