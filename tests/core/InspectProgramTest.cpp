// lumora-inspect on camera banks and the soundtrack, as a content author uses it.
#include "support/GlTest.h"

#include <fstream>
#include <sstream>

namespace {

TEST(InspectProgramTest, SummarisesTheShippedBankAndNamesDamage) {
    std::string output;
    ASSERT_EQ(runCommand(stageProgram("lumora-inspect") + " data/tracks/1.crg", &output), 0)
        << output;
    EXPECT_NE(output.find("track 0 \"Camera Position\""), std::string::npos);
    EXPECT_NE(output.find("track 2 \"Camera Up Vector\""), std::string::npos);

    TempDir folder;
    std::ifstream bank("data/tracks/1.crg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(bank)), std::istreambuf_iterator<char>());
    std::ofstream(folder.file("short.crg"), std::ios::binary) << bytes.substr(0, 100);
    output.clear();
    EXPECT_EQ(runCommand(stageProgram("lumora-inspect") + " " + folder.file("short.crg"), &output),
              1);
    EXPECT_NE(output.find(folder.file("short.crg") + ": track 0 claims"), std::string::npos)
        << output;
}

TEST(InspectProgramTest, RefusesADeviceInsteadOfReadingItForEver) {
    std::string output;
    std::string inspect = "timeout 60 " + stageProgram("lumora-inspect");
    for (const char* format : {"nmd", "ebr", "crg", "music"}) {
        EXPECT_EQ(runCommand(inspect + " --as " + format + " /dev/urandom", &output), 1);
        EXPECT_NE(output.find("not a regular file: it is a character device"), std::string::npos)
            << output;
    }
}

TEST(InspectProgramTest, PrintsTheSpectrumAtEachTime) {
    std::string output;
    ASSERT_EQ(
        runCommand(stageProgram("lumora-inspect") + " data/music.mp3 --at 10 --at 160", &output), 0)
        << output;
    EXPECT_NE(output.find("44100 Hz"), std::string::npos);
    std::istringstream lines(output);
    std::string line;
    int spectra = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("spectrum at", 0) == 0) {
            std::istringstream values(line.substr(line.find(':') + 1));
            int count = 0;
            float value;
            while (values >> value) {
                ++count;
            }
            EXPECT_EQ(count, 256) << line.substr(0, 40);
            ++spectra;
        }
    }
    EXPECT_EQ(spectra, 2);
}

} // namespace
