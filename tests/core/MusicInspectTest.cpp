#include "core/MusicInspect.h"

#include "support/GlTest.h"
#include "support/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The values after the colon of a "spectrum at" line.
std::vector<float> spectrumValues(const std::string& line) {
    std::istringstream stream(line.substr(line.find(':') + 1));
    std::vector<float> values;
    for (float value; stream >> value;) {
        values.push_back(value);
    }
    return values;
}

} // namespace

TEST(MusicInspectTest, SummaryGivesDurationSourceFormatAndOneSpectrumLinePerTime) {
    TempDir dir;
    std::vector<int16_t> samples;
    appendTone(samples, 1, 48000, 1.0, 12 * 44100.0 / 512, 0.7);
    appendTone(samples, 1, 48000, 1.0, 40 * 44100.0 / 512, 0.7);
    const std::string file = dir.file("tune.mp3");
    std::string error;
    ASSERT_TRUE(encodeMp3(file, samples, 1, 48000, &error, 128)) << error;

    std::string summary;
    ASSERT_TRUE(summariseMusic(file, {0.5, 1.5, 30.0}, summary, error)) << error;
    std::vector<std::string> lines = linesOf(summary);
    ASSERT_EQ(lines.size(), 6u) << summary;

    double seconds = 0.0;
    ASSERT_EQ(sscanf(lines[1].c_str(), "duration %lf s", &seconds), 1) << lines[1];
    EXPECT_NEAR(seconds, 2.0, 1152.0 / 48000);
    EXPECT_NE(lines[2].find("48000 Hz, 1 channel"), std::string::npos) << lines[2];

    const int expectedPeaks[] = {12, 40};
    for (int i = 0; i < 2; ++i) {
        std::vector<float> values = spectrumValues(lines[3 + i]);
        ASSERT_EQ(values.size(), 256u) << lines[3 + i];
        EXPECT_EQ(std::max_element(values.begin(), values.end()) - values.begin(),
                  expectedPeaks[i]);
    }
    std::vector<float> past = spectrumValues(lines[5]);
    ASSERT_EQ(past.size(), 256u);
    EXPECT_TRUE(std::all_of(past.begin(), past.end(), [](float v) { return v == 0.0f; }));
}
