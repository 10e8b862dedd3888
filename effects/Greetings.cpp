#include "effects/Greetings.h"

#include "core/Demo.h"
#include "effects/LensFlare.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

// Fictional groups, every one of them; only their lengths shape the scene's
// timing and layout (13, 10, 7, 7, 3, 15, 9 and 10 letters).
const char* const Greetings::greetedNames[nameCount] = {
    "QUIETMACHINES", "LANTERNFOX",      "SALTBOX",   "MOTHLAB",
    "YEW",           "PAPERLIGHTHOUSE", "COPPERJAM", "VOIDBAKERY"};

namespace {

bool hasPicture(char letter) {
    return letter >= 'A' && letter <= 'Z';
}

void reportBadLetter(const std::string& word) {
    const unsigned char c = static_cast<unsigned char>(word[0]);
    if (c >= 0x20 && c < 0x7f) {
        fprintf(stderr, "Greetings: '%c' of \"%s\" is no letter from A to Z; it is left out\n", c,
                word.c_str());
    } else {
        fprintf(stderr,
                "Greetings: byte 0x%02x of a greeted name is no letter from A to Z; it is "
                "left out\n",
                c);
    }
}

} // namespace

void GreetingNode::build(const std::string& word_, int decoyDepth, bool isLetter_, const Vec3& base,
                         float index_) {
    word = word_;
    isLetter = isLetter_;
    index = index_;
    letter = 0;
    position = base;

    // A step of 200 along one of the six axis directions, blurred by up to 100.2
    // on every axis.
    const int k = Random::next() % 6;
    Vec3 d;
    d.x = Random::signedUnit() * 100.2f;
    d.y = Random::signedUnit() * 100.2f;
    d.z = Random::signedUnit() * 100.2f;
    const float push[6][3] = {{200, 0, 0},  {-200, 0, 0}, {0, 200, 0},
                              {0, -200, 0}, {0, 0, 200},  {0, 0, -200}};
    d += Vec3(push[k][0], push[k][1], push[k][2]);
    position = base + d;

    if (!word.empty()) {
        if (hasPicture(word[0])) {
            letter = word[0];
        } else {
            reportBadLetter(word);
        }
    }
    const std::string rest = word.empty() ? std::string() : word.substr(1);

    if (!rest.empty()) {
        GreetingNode* next = new GreetingNode;
        next->build(rest, decoyDepth, true, position, index + 1.0f);
        children.append(next);
    }
    if (decoyDepth > 0) {
        static const char decoyLetters[11] = {'Q', 'A', 'W', 'E', 'P', 'V',
                                              'X', 'Z', 'V', 'L', 'K'};
        const int c = Random::next() % 11;
        GreetingNode* decoy = new GreetingNode;
        decoy->build(std::string(1, decoyLetters[c]), decoyDepth - 1, false, position, -1000.0f);
        children.append(decoy);
    }
}

float pulse(float x) {
    x = std::min(std::max(x, 0.0f), 1.0f);
    float y = 2.0f * std::sin(3.1415f * x);
    y = std::min(std::max(y, 0.0f), 1.0f);
    return y * y;
}

void GreetingNode::drawNode(const GrowArray<Texture*>& letterTextures, Texture* haloTexture,
                            float s) const {
    const float p = pulse(s - index);
    enableState(StateCap::AlphaTest);
    alphaFunction(CompareFunc::Greater, 0.5f);
    depthFunction(CompareFunc::LessEqual);

    if (letter != 0) {
        pushMatrix();
        translate(position.x, position.y, position.z);

        // The halo behind the letter, cut out at half alpha.
        glBindTexture(GL_TEXTURE_2D, haloTexture->textureName);
        glEnable(GL_TEXTURE_2D);
        enableState(StateCap::Blend);
        blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
        billboardQuad(0.0f, 0.0f, 0.0f, (p + 1.0f) * 300.0f);
        disableState(StateCap::AlphaTest);

        // The letter is light added over its halo, a little nearer in depth so
        // that the halo never hides it.
        glBindTexture(GL_TEXTURE_2D, letterTextures[letter - 'A']->textureName);
        glEnable(GL_TEXTURE_2D);
        if (isLetter) {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        } else {
            glColor4f(0.7f, 0.7f, 1.0f, 1.0f);
        }
        enableState(StateCap::Blend);
        blendFunction(BlendFactor::One, BlendFactor::One);
        glDepthRange(0.0, 0.99);
        billboardQuad(0.0f, 0.0f, 0.0f, p * 350.0f + 200.0f);
        disableState(StateCap::Blend);
        glDepthRange(0.0, 1.0);
        popMatrix();
    }

    // The links take their colour from the letter picture still bound, at the
    // texture coordinate the quad ended on: its corner texel.
    for (int i = 0; i < children.count; ++i) {
        const GreetingNode* child = children[i];
        lineWidth(2.5f);
        glBegin(GL_LINES);
        glVertex4f(position.x, position.y, position.z, 1.0f);
        glVertex4f(child->position.x, child->position.y, child->position.z, 1.0f);
        glEnd();
        child->drawNode(letterTextures, haloTexture, s);
    }
}

Greetings::Greetings(Demo* demo) : Effect(demo) {}

float Greetings::namePlace(int name) {
    float b = 0.0f;
    for (int i = 0; i < name; ++i) {
        b += static_cast<float>(strlen(greetedNames[i])) + 2.0f;
    }
    return b;
}

void Greetings::load() {
    name = "Greetings";
    haloTexture = demo->getTexture("data/jall.png");
    letterTextures.reserve(26);
    for (char c = 'A'; c <= 'Z'; ++c) {
        letterTextures.append(demo->getTexture(std::string("data/letters/") + c + ".jpg"));
    }

    // The camera bank aims at the letters where this layout puts them: the
    // draws must stay exactly these, in this order (1036 after the seed).
    Random::seed(23);
    for (int i = 0; i < nameCount; ++i) {
        names[i] = new GreetingNode;
        names[i]->build(greetedNames[i], 2, true, Vec3(0.0f, 0.0f, 0.0f), 0.0f);
    }

    mooTexture = demo->getTexture("data/mooooo.jpg");
    ringEnvTexture = demo->getTexture("data/ringenv.jpg");
    ringMesh = demo->getEbrMesh("data/ring.nmd");
    ringTexture = demo->getTexture("data/ring.jpg");
    flare = new LensFlare(this);
}

void Greetings::render() {
    const float t = localTime;

    perspective(120.0f - pulse(2.66666f * t), 1.3333f, 0.5f, 3000.0f);
    const Vec3& eye = demo->controllerValues[0];
    const Vec3& target = demo->controllerValues[1];
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0f, 0.0f, -1.0f);
    rotate(90.0f, 1.0f, 0.0f, 0.0f);

    flare->followOwnerTime();
    flare->setLightPosition(1000.0f, 100.0f, 1000.0f);
    flare->drawGlow();

    // The rings' speeds are drawn afresh every frame, always the same.
    Random::seed(1);
    enableState(StateCap::DepthTest);
    disableFragmentPrograms();
    disableVertexPrograms();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, ringTexture->textureName);
    enableState(StateCap::CullFace);
    cullFace(1);

    // Thirty rings in a row along z, every other one larger and turned over.
    for (int k = 0; k < 30; ++k) {
        const float zk = -50.0f + 15.0f * static_cast<float>(k);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        pushMatrix();
        scale(5.5f, 5.5f, 5.5f);
        if (k % 2 == 1) {
            scale(1.5f, 1.5f, 1.5f);
            rotate(180.0f, 0.0f, 0.0f, 1.0f);
        }
        const float a = Random::signedUnit();
        const float b = Random::signedUnit();
        const float kf = static_cast<float>(k);
        rotate((100.0f * a * b + 30.0f) * t, 0.03f * std::sin(0.8f * kf + t + 1.2f),
               0.03f * std::sin(kf + t), 1.0f);
        translate(0.0f, 0.0f, zk);
        ringMesh->part(0)->draw();
        popMatrix();
    }

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    cullFace(2);
    disableState(StateCap::CullFace);
    disableState(StateCap::Blend);

    scale(0.13f, 0.13f, 0.13f);
    translate(0.0f, 0.0f, -500.0f);
    disableFragmentPrograms();
    disableVertexPrograms();

    // Name after name down the row: each starts to pop two letters' time after
    // the one before has finished.
    for (int i = 0; i < nameCount; ++i) {
        const float b = namePlace(i);
        pushMatrix();
        translate(0.0f, 0.0f, 200.0f * b);
        names[i]->drawNode(letterTextures, haloTexture, 4.0f * t - b);
        popMatrix();
    }

    flare->followOwnerTime();
    flare->render();

    disableState(StateCap::Blend);
    enableState(StateCap::DepthTest);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
