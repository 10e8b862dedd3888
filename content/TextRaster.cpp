#include "content/TextRaster.h"

#include "content/Canvas.h"
#include "content/OutputFolder.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace {

std::string findFontFile(const char* pattern) {
    FcPattern* query = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!query)
        throw ContentError(std::string("font \"") + pattern + "\": not a fontconfig pattern");
    FcConfigSubstitute(nullptr, query, FcMatchPattern);
    FcDefaultSubstitute(query);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, query, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
        file = reinterpret_cast<const char*>(path);
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(query);
    if (file.empty())
        throw ContentError(std::string("font \"") + pattern +
                           "\": no installed font matches (install fonts-dejavu-core)");
    return file;
}

} // namespace

TextRaster::TextRaster(const TextStyle& textStyle) : style(textStyle) {
    const std::string file = findFontFile(style.pattern);
    FT_Library ft = nullptr;
    if (FT_Init_FreeType(&ft))
        throw ContentError("FreeType: cannot initialise");
    FT_Face ftFace = nullptr;
    if (FT_New_Face(ft, file.c_str(), 0, &ftFace)) {
        FT_Done_FreeType(ft);
        throw ContentError(file + ": FreeType cannot open the font");
    }
    library = ft;
    face = ftFace;
    const auto height = static_cast<FT_F26Dot6>(std::lround(style.pixelHeight * 64));
    const auto width =
        static_cast<FT_F26Dot6>(std::lround(style.pixelHeight * style.widthScale * 64));
    FT_Set_Char_Size(ftFace, width, height, 72, 72);
}

TextRaster::~TextRaster() {
    FT_Done_Face(static_cast<FT_Face>(face));
    FT_Done_FreeType(static_cast<FT_Library>(library));
}

float TextRaster::advance(unsigned char c) {
    FT_Face ftFace = static_cast<FT_Face>(face);
    if (FT_Load_Char(ftFace, c, FT_LOAD_DEFAULT))
        return 0;
    return ftFace->glyph->advance.x / 64.0f + style.letterSpacing;
}

float TextRaster::width(const std::string& text) {
    float total = 0;
    for (unsigned char c : text)
        total += advance(c);
    return total - (text.empty() ? 0 : style.letterSpacing);
}

void TextRaster::drawCentred(Mask& mask, const std::string& text, float centreX, float baselineY) {
    FT_Face ftFace = static_cast<FT_Face>(face);
    float pen = centreX - width(text) / 2;
    for (unsigned char c : text) {
        if (FT_Load_Char(ftFace, c, FT_LOAD_RENDER))
            continue;
        const FT_GlyphSlot glyph = ftFace->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int left = static_cast<int>(std::lround(pen)) + glyph->bitmap_left;
        const int top = static_cast<int>(std::lround(baselineY)) - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= mask.width() || y >= mask.height())
                    continue;
                const float v = bitmap.buffer[row * bitmap.pitch + col] / 255.0f;
                mask.at(x, y) = std::max(mask.at(x, y), v);
            }
        pen += glyph->advance.x / 64.0f + style.letterSpacing;
    }
}
