#pragma once

#include "core/Effect.h"
#include "core/GrowArray.h"
#include "platform/Vec3.h"

#include <string>

class EbrMesh;
class LensFlare;
class Texture;

// One letter floating in space: a letter of a greeted name, or a decoy hanging
// off one. A name is a chain of letters, each letter placed by a random step from
// the one before, with a short chain of decoys beside every letter.
struct GreetingNode {
    // Fills this node from the first letter of word, placed by a random step from
    // base, then builds its children: the rest of the word from this letter on,
    // then (while decoyDepth > 0) one decoy. Draws 4 values from the process-wide
    // generator for the node, then the next letter's, then 1 for the decoy's
    // letter and the decoy's own. A letter outside A to Z is kept as 0: it shows
    // nothing of its own, and the rest of its name still follows.
    void build(const std::string& word, int decoyDepth, bool isLetter, const Vec3& base,
               float index);
    // Draws the node, its links and, recursively, its children; s is the name's
    // pop clock (the letter with index i pops while s runs from i to i + 1).
    void drawNode(const GrowArray<Texture*>& letterTextures, Texture* haloTexture, float s) const;

    std::string word;
    bool isLetter = false;
    char letter = 0;
    Vec3 position;
    float index = 0.0f;
    GrowArray<GreetingNode*> children;
};

// 0 at x <= 0, rising to 1 at x = 1/6, 1 until 5/6, falling back to almost 0 at 1.
float pulse(float x);

// Eight greeted names as chains of glowing letters floating in space, popping one
// letter after another at four letters a second, while thirty rings spin in a row
// and a sun burns in the distance.
class Greetings : public Effect {
public:
    static constexpr int nameCount = 8;
    // In the order they pop.
    static const char* const greetedNames[nameCount];

    explicit Greetings(Demo* demo);

    void load() override;
    void render() override;

    // The place of a name in the row: the letters of the names before it, plus
    // two for each of them. It sets how far along the row the name floats (200
    // units a place) and when it pops: at local time t its letter i grows while
    // 4 t - place runs from i to i + 1.
    static float namePlace(int name);

    GrowArray<Texture*> letterTextures;
    GreetingNode* names[nameCount] = {};
    EbrMesh* ringMesh = nullptr;
    Texture* ringTexture = nullptr;
    Texture* ringEnvTexture = nullptr;
    Texture* mooTexture = nullptr;
    LensFlare* flare = nullptr;
    Texture* haloTexture = nullptr;
};
