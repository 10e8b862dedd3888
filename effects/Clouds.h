#pragma once

#include "effects/Billboards.h"
#include "platform/Vec3.h"

class Flower;
class LensFlare;
class Texture;

// 250 soft cloud sprites around a sun with lens flare, and the growing flower
// in their midst. The flower belongs to the clouds; the second sea draws it too.
class Clouds : public Billboards {
public:
    explicit Clouds(Demo* demo);

    void load() override;
    void render() override;

    Texture* cloudTexture = nullptr;
    LensFlare* flare = nullptr;
    Flower* flower = nullptr;
    Vec3 lightPosition;
};
