#include "platform/OutlineFont.h"

#include "platform/GlState.h"
#include "platform/GlWindow.h"

#include "platform/Gl.h"
#include <SDL.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <vector>

namespace {

// Curves are flattened so that no chord strays further than this from the
// outline, in ems.
constexpr double chordDeviation = 0.15;
constexpr int glyphCount = 255;

using Point = std::array<double, 3>;

std::string matchFontFile(const char* face) {
    std::string path;
    if (!FcInit()) {
        return path;
    }
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(face));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            path = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

// Collects a glyph outline as closed contours of points, in ems, with curves
// flattened to within chordDeviation.
struct ContourBuilder {
    double scale;
    std::vector<std::vector<Point>> contours;
    Point last{};

    Point at(const FT_Vector* v) const { return {v->x * scale, v->y * scale, 0.0}; }

    void moveTo(const Point& p) {
        contours.emplace_back();
        contours.back().push_back(p);
        last = p;
    }
    void lineTo(const Point& p) {
        contours.back().push_back(p);
        last = p;
    }
    static int segmentsFor(double deviation) {
        int n = static_cast<int>(std::ceil(std::sqrt(deviation / chordDeviation)));
        return n < 1 ? 1 : n;
    }
    void conicTo(const Point& c, const Point& p) {
        double dx = last[0] - 2 * c[0] + p[0], dy = last[1] - 2 * c[1] + p[1];
        int n = segmentsFor(std::sqrt(dx * dx + dy * dy) / 4.0);
        Point start = last;
        for (int i = 1; i <= n; ++i) {
            double t = static_cast<double>(i) / n, u = 1.0 - t;
            lineTo({u * u * start[0] + 2 * u * t * c[0] + t * t * p[0],
                    u * u * start[1] + 2 * u * t * c[1] + t * t * p[1], 0.0});
        }
    }
    void cubicTo(const Point& c1, const Point& c2, const Point& p) {
        double ax = last[0] - 2 * c1[0] + c2[0], ay = last[1] - 2 * c1[1] + c2[1];
        double bx = c1[0] - 2 * c2[0] + p[0], by = c1[1] - 2 * c2[1] + p[1];
        double deviation =
            0.75 * std::max(std::sqrt(ax * ax + ay * ay), std::sqrt(bx * bx + by * by));
        int n = segmentsFor(deviation);
        Point start = last;
        for (int i = 1; i <= n; ++i) {
            double t = static_cast<double>(i) / n, u = 1.0 - t;
            double a = u * u * u, b = 3 * u * u * t, cc = 3 * u * t * t, d = t * t * t;
            lineTo({a * start[0] + b * c1[0] + cc * c2[0] + d * p[0],
                    a * start[1] + b * c1[1] + cc * c2[1] + d * p[1], 0.0});
        }
    }
};

int outlineMoveTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<ContourBuilder*>(user);
    b->moveTo(b->at(to));
    return 0;
}
int outlineLineTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<ContourBuilder*>(user);
    b->lineTo(b->at(to));
    return 0;
}
int outlineConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* b = static_cast<ContourBuilder*>(user);
    b->conicTo(b->at(control), b->at(to));
    return 0;
}
int outlineCubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* b = static_cast<ContourBuilder*>(user);
    b->cubicTo(b->at(c1), b->at(c2), b->at(to));
    return 0;
}

// Storage for vertices the tessellator creates where contours cross; it must live
// until the polygon ends.
std::deque<Point>* combinedPoints = nullptr;

void GLAPIENTRY tessBegin(GLenum type) {
    glBegin(type);
}
void GLAPIENTRY tessVertex(void* data) {
    glVertex3dv(static_cast<const double*>(data));
}
void GLAPIENTRY tessEnd() {
    glEnd();
}
void GLAPIENTRY tessCombine(GLdouble coords[3], void**, GLfloat*, void** out) {
    combinedPoints->push_back({coords[0], coords[1], coords[2]});
    *out = combinedPoints->back().data();
}

// Fills the contours with the GLU tessellator into the display list being compiled.
void tessellate(GLUtesselator* tess, std::vector<std::vector<Point>>& contours) {
    std::deque<Point> combined;
    combinedPoints = &combined;
    gluTessBeginPolygon(tess, nullptr);
    for (auto& contour : contours) {
        // Outlines repeat their first point at the end; the tessellator closes them itself.
        if (contour.size() > 1 && contour.front() == contour.back()) {
            contour.pop_back();
        }
        if (contour.size() < 3) {
            continue;
        }
        gluTessBeginContour(tess);
        for (Point& p : contour) {
            gluTessVertex(tess, p.data(), p.data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    combinedPoints = nullptr;
}

} // namespace

OutlineFont::OutlineFont(const char* face) {
    if (currentWindow != nullptr) {
        SDL_GL_MakeCurrent(currentWindow->window, currentWindow->glContext);
    }
    // One list more than the glyphs: code 255 calls an empty list of our own
    // rather than whatever list might follow the block.
    firstList = glGenLists(glyphCount + 1);

    file = matchFontFile(face);
    FT_Library library = nullptr;
    FT_Face ftFace = nullptr;
    bool haveFace = FT_Init_FreeType(&library) == 0 && !file.empty() &&
                    FT_New_Face(library, file.c_str(), 0, &ftFace) == 0;
    if (!haveFace) {
        fprintf(stderr, "OutlineFont: no font file for \"%s\"; text will not show\n", face);
    }

    GLUtesselator* tess = gluNewTess();
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);
    gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<void(GLAPIENTRY*)()>(tessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<void(GLAPIENTRY*)()>(tessVertex));
    gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<void(GLAPIENTRY*)()>(tessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE, reinterpret_cast<void(GLAPIENTRY*)()>(tessCombine));

    FT_Outline_Funcs funcs{};
    funcs.move_to = outlineMoveTo;
    funcs.line_to = outlineLineTo;
    funcs.conic_to = outlineConicTo;
    funcs.cubic_to = outlineCubicTo;

    for (int code = 0; code <= glyphCount; ++code) {
        glNewList(firstList + code, GL_COMPILE);
        if (haveFace && code < glyphCount) {
            FT_UInt index = FT_Get_Char_Index(ftFace, static_cast<FT_ULong>(code));
            if (index != 0 && FT_Load_Glyph(ftFace, index, FT_LOAD_NO_SCALE) == 0) {
                ContourBuilder builder{1.0 / ftFace->units_per_EM, {}, {}};
                if (ftFace->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
                    FT_Outline_Decompose(&ftFace->glyph->outline, &funcs, &builder);
                    tessellate(tess, builder.contours);
                }
                glTranslated(static_cast<double>(ftFace->glyph->advance.x) / ftFace->units_per_EM,
                             0.0, 0.0);
            }
        }
        glEndList();
    }

    gluDeleteTess(tess);
    if (ftFace != nullptr) {
        FT_Done_Face(ftFace);
    }
    if (library != nullptr) {
        FT_Done_FreeType(library);
    }
}

void drawText(const OutlineFont* font, int x, int y, const char* format, ...) {
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    int written = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written < 0) {
        return;
    }
    int length =
        written < static_cast<int>(sizeof text) ? written : static_cast<int>(sizeof text) - 1;

    disableFragmentPrograms();
    disableVertexPrograms();
    // Positions are pixels of the picture as it was made; the text grows with
    // the viewport over a larger picture.
    int width = currentWindow != nullptr ? currentWindow->baseWidth : 800;
    int height = currentWindow != nullptr ? currentWindow->baseHeight : 600;
    projectionIdentity();
    modelviewIdentity();
    glOrtho(0.0, 60.0, 0.0, 45.0, -1.0, 1.0);
    glTranslatef(static_cast<float>(x) * 60.0f / static_cast<float>(width),
                 static_cast<float>(y) * 45.0f / static_cast<float>(height), 0.0f);
    glDisable(GL_DEPTH_TEST);
    glListBase(font->firstList);
    glCallLists(length, GL_UNSIGNED_BYTE, text);
    glEnable(GL_DEPTH_TEST);
}
