#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/TextRaster.h"

#include <algorithm>

namespace {

constexpr int kSize = 1024;
// The square picture is stretched over a 4:3 screen, so glyphs are drawn
// narrower by 3/4 to read with their true proportions.
constexpr float kSqueeze = 0.75f;

struct Line {
    const char* text;
    const char* pattern;
    float pixelHeight;
    float letterSpacing;
    float baseline; // fraction of the picture height, from the top
};

// White letters with a warm glow behind them, so they read over bright sky and
// dark sea alike; everything else is transparent.
Canvas lettering(std::initializer_list<Line> lines, float rule) {
    Mask text(kSize, kSize);
    for (const Line& line : lines) {
        TextStyle style;
        style.pattern = line.pattern;
        style.pixelHeight = line.pixelHeight;
        style.widthScale = kSqueeze;
        style.letterSpacing = line.letterSpacing;
        TextRaster raster(style);
        raster.drawCentred(text, line.text, kSize / 2.0f, line.baseline * kSize);
    }
    if (rule > 0) {
        // A hairline under the first line, fading out at both ends.
        const int y = static_cast<int>(rule * kSize);
        for (int x = 0; x < kSize; ++x) {
            const float d = std::abs(x - kSize / 2.0f) / (kSize * 0.3f);
            const float v = std::clamp(1 - d * d, 0.0f, 1.0f);
            for (int dy = 0; dy < 2; ++dy)
                text.at(x, y + dy) = std::max(text.at(x, y + dy), v);
        }
    }

    Mask glow = text;
    glow.blur(14);
    glow.scale(1.0f / std::max(glow.maximum(), 1e-6f));
    Mask halo = text;
    halo.blur(3);

    Canvas picture(kSize, kSize, Rgba{0, 0, 0, 0});
    picture.paintOver(glow, Rgba{1.0f, 0.55f, 0.25f, 0.45f});
    picture.paintOver(halo, Rgba{1.0f, 0.8f, 0.6f, 0.5f});
    picture.paintOver(text, Rgba{1.0f, 0.98f, 0.94f, 1.0f});
    picture.flipVertically();
    return picture;
}

} // namespace

void writeTypography(OutputFolder& folder) {
    lettering({{"BRIMVALE", "DejaVu Sans:bold", 120, 34, 0.46f},
               {"presents", "DejaVu Serif:italic", 52, 6, 0.56f}},
              0.495f)
        .writePng(folder, "data/meridiantypo/logo.png", true);
    lettering({{"MERIDIAN", "DejaVu Sans:extralight", 150, 24, 0.42f},
               {"a demo by brimvale", "DejaVu Serif:italic", 44, 4, 0.51f}},
              0.458f)
        .writePng(folder, "data/meridiantypo/title.png", true);
    lettering({{"MERIDIAN", "DejaVu Sans:bold", 96, 30, 0.40f},
               {"brimvale", "DejaVu Serif:italic", 56, 8, 0.48f},
               {"thank you for watching", "DejaVu Sans", 36, 10, 0.60f}},
              0.425f)
        .writePng(folder, "data/meridiantypo/end.png", true);
}
