#include "effects/LensFlare.h"

#include "core/Demo.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Image.h"

#include <algorithm>
#include <cmath>

float litRadius(const PixelSource& picture) {
    const int width = picture.width(), height = picture.height();
    const int bytes = picture.pixelKind() == PixelKind::Rgba8  ? 4
                      : picture.pixelKind() == PixelKind::Rgb8 ? 3
                                                               : 0;
    if (bytes == 0 || width <= 0 || height <= 0) {
        return 2.0f;
    }
    float radius = 0.0f;
    const unsigned char* pixels = picture.pixels();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = pixels + (static_cast<size_t>(y) * width + x) * bytes;
            if (p[0] != 0 || p[1] != 0 || p[2] != 0) {
                const float dx = (x + 0.5f) / width * 2.0f - 1.0f;
                const float dy = (y + 0.5f) / height * 2.0f - 1.0f;
                radius = std::max(radius, std::sqrt(dx * dx + dy * dy));
            }
        }
    }
    // Out to the far corner of the last lit texel.
    return radius > 0.0f ? radius + std::sqrt(2.0f) / std::min(width, height) : 0.0f;
}

LensFlare::LensFlare(Effect* parent) : Effect(parent) {
    name = "LensFlare";
}

void LensFlare::load() {
    program = demo->getProgramPair("data/lensFlare.cg", "vsMain", "psMain");
    const char* const flares[5] = {"data/flare/flare0.jpg", "data/flare/flare1.jpg",
                                   "data/flare/flare2.jpg", "data/flare/flare3.jpg",
                                   "data/flare/flare4.jpg"};
    for (int i = 0; i < 5; ++i) {
        flareTextures[i] = demo->getTexture(flares[i]);
    }
    glowTexture = demo->getTexture("data/flare/bg.jpg");
    // The pictures are black towards their corners, which add nothing; large
    // sprites read them through copies without mip levels.
    for (int i = 0; i < 6; ++i) {
        const Texture* texture = i < 5 ? flareTextures[i] : glowTexture;
        const Image& image = *demo->getImage(i < 5 ? flares[i] : "data/flare/bg.jpg");
        Texture* magnified = new Texture(image, TextureFilter::Linear);
        magnified->setWrap(0);
        pictures[i] = {texture, magnified, litRadius(image)};
    }
}

void LensFlare::measureViewport() {
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // A sprite of size S spans 1.2 S device units across and 1.6 S up.
    spritePixels = std::min(0.6f * viewport[2], 0.8f * viewport[3]);
}

LensFlare::SpriteDraw LensFlare::spriteDraw(const Texture* texture, float size) const {
    for (const SpritePicture& picture : pictures) {
        if (texture == nullptr || picture.texture != texture) {
            continue;
        }
        const float texelsPerPixel = texture->width / std::max(size * spritePixels, 1.0f);
        // Below one texel per pixel, however the sprite turns, the texture unit
        // magnifies: level 0, filtered linearly, with or without mip levels.
        // A margin keeps the choice clear of the rounding of the level.
        if (texelsPerPixel < 0.95f) {
            // A bilinear sample reaches a texel and a half beyond its point.
            return {picture.magnified, picture.litRadius + 3.0f / texture->width};
        }
        // Trilinear filtering reads the mip level of the sprite's texels per
        // pixel and the one above, and the level's choice is rounded: up to one
        // more. A level-k texel spans 2^k of the picture's, and a bilinear
        // sample reaches a texel and a half beyond its point, so a lit texel
        // shows up to 3 x 2^k texels away.
        const int level =
            std::clamp(static_cast<int>(std::ceil(std::log2(texelsPerPixel))) + 1, 0, 16);
        return {texture,
                picture.litRadius + 3.0f * static_cast<float>(1 << level) * 2.0f / texture->width};
    }
    return {texture, 2.0f};
}

void LensFlare::followOwnerTime() {
    start = 0.0f;
    duration = 1.0f;
    localTime = *timeSource;
    fraction = localTime;
}

void LensFlare::setLightPosition(float x, float y, float z) {
    double modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // A fixed viewport keeps the result independent of the window size.
    const GLint viewport[4] = {0, 0, 2048, 2048};
    double wx = 0.0, wy = 0.0, wz = 0.0;
    gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
    // Only a light nearer than the near plane hides; one behind the camera
    // projects beyond the far side and shows mirrored.
    visible = wz > 0.0;
    screenX = static_cast<float>(wx / 2048.0 * 2.0 - 1.0);
    screenY = static_cast<float>(wy / 2048.0 * 2.0 - 1.0);
}

namespace {

// The outline to draw of a sprite whose picture is lit within `lit` of its
// centre, in the quad's own units (corners at (+-1, +-1)): the octagon round
// that circle cut to the quad, or the quad itself. Few corners keep the seams
// between its triangles, which the rasteriser shades on both sides, short.
int spriteOutline(float lit, float (&outline)[8][2]) {
    const float side = std::min(1.0f, lit);
    const float diagonal = std::sqrt(2.0f) * lit; // |x| + |y| within it
    if (diagonal >= 2.0f * side) {
        const float quad[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        std::copy(&quad[0][0], &quad[0][0] + 8, &outline[0][0]);
        return 4;
    }
    const float cut = diagonal - side;
    const float octagon[8][2] = {{-cut, -side}, {cut, -side}, {side, -cut}, {side, cut},
                                 {cut, side},   {-cut, side}, {-side, cut}, {-side, -cut}};
    std::copy(&octagon[0][0], &octagon[0][0] + 16, &outline[0][0]);
    return 8;
}

} // namespace

void LensFlare::drawSprite(float x, float y, float size, float r, float g, float b, float angle,
                           float lit) {
    const float s = size * 0.2f;
    const float dim = 1.0f - 0.2f * std::sqrt(x * x + y * y);
    r *= dim;
    g *= dim;
    b *= dim;
    float outline[8][2];
    const int corners = spriteOutline(lit, outline);
    const float c = std::cos(angle), sn = std::sin(angle);
    glBegin(GL_TRIANGLE_FAN);
    glColor4f(r, g, b, 1.0f);
    for (int k = 0; k < corners; ++k) {
        // The quad's corner (-1, -1) takes texture coordinate (0, 1), (1, 1) takes (1, 0).
        const float u = outline[k][0], v = outline[k][1];
        float dx = u * s * c + v * s * sn;
        float dy = -u * s * sn + v * s * c;
        glTexCoord2f((u + 1.0f) * 0.5f, (1.0f - v) * 0.5f);
        // Three across and four up: square on an 800 x 600 screen.
        glVertex4f(x + 3.0f * dx, y + 4.0f * dy, 0.0f, 1.0f);
    }
    glEnd();
}

void LensFlare::drawGlow() {
    if (!visible) {
        return;
    }
    const float t = localTime;
    measureViewport();
    program->bind();
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::One);
    disableState(StateCap::DepthTest);

    const SpriteDraw glow = spriteDraw(glowTexture, 2.5f);
    program->setTexture("tex", glow.texture);
    drawSprite(screenX, screenY, 2.5f, 1, 1, 1, 0, glow.reach);
    const float distance = std::sqrt(screenX * screenX + screenY * screenY);
    // The second glow grows as the light nears the centre; at the very centre its
    // size has no bound, so it is left out there.
    if (distance > 0.0f) {
        const float size = 0.5f / std::sqrt(distance);
        const SpriteDraw inner = spriteDraw(glowTexture, size);
        program->setTexture("tex", inner.texture);
        drawSprite(screenX, screenY, size, 1, 1, 1, 0, inner.reach);
    }

    // The same jitter every frame.
    Random::seed(2);
    const SpriteDraw glints = spriteDraw(flareTextures[0], 0.8f);
    program->setTexture("tex", glints.texture);
    drawSprite(screenX, screenY, 0.8f, 0.9f, 0.8f, 0.75f, 0, glints.reach);
    for (int i = 0; i < 3; ++i) {
        for (int turn = 0; turn < 3; ++turn) {
            float rnd1 = Random::signedUnit();
            float rnd2 = Random::signedUnit();
            float angle = turn == 0   ? 0.13f * i + t
                          : turn == 1 ? 1.2f * t + 0.13f * i
                                      : 0.13f * i - 1.1f * t;
            drawSprite(screenX + rnd2 * i * 0.02f, screenY + rnd1 * i * 0.02f, 0.8f, 0.95f, 0.8f,
                       0.75f, angle, glints.reach);
        }
    }

    program->disableTexture("tex");
    program->unbind();
    disableState(StateCap::Blend);
}

void LensFlare::render() {
    if (!visible) {
        return;
    }
    const float t = localTime;
    measureViewport();
    program->bind();
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::One, BlendFactor::One);
    disableState(StateCap::DepthTest);

    struct Ghost {
        int texture;
        float factor;
        bool jitter;
        float size, r, g, b, angleOffset;
        bool turns;
    };
    static const Ghost ghosts[6] = {
        {1, 0.9f, true, 0.4f, 0.45f, 0.4f, 0.35f, 0.39f, true},
        {1, 1.15f, true, 0.7f, 0.27f, 0.28f, 0.185f, 0.57f, true},
        {2, 0.3f, false, 0.15f, 0.225f, 0.275f, 0.175f, 0.0f, false},
        {3, -0.2f, false, 0.2f, 0.175f, 0.2f, 0.1875f, 0.0f, false},
        {3, -0.4f, false, 0.5f, 0.225f, 0.087f, 0.0625f, 0.0f, false},
        {4, -0.75f, false, 0.13f, 0.23f, 0.2f, 0.2125f, 0.0f, false},
    };
    for (const Ghost& ghost : ghosts) {
        const SpriteDraw sprite = spriteDraw(flareTextures[ghost.texture], ghost.size);
        program->setTexture("tex", sprite.texture);
        float x = ghost.factor * screenX, y = ghost.factor * screenY;
        if (ghost.jitter) {
            // The first draw goes to y, the second to x.
            y += Random::signedUnit() * 0.02f;
            x += Random::signedUnit() * 0.02f;
        }
        drawSprite(x, y, ghost.size, ghost.r, ghost.g, ghost.b,
                   ghost.turns ? t + ghost.angleOffset : 0.0f, sprite.reach);
        program->disableTexture("tex");
    }

    disableState(StateCap::Blend);
}
