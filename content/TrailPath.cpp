#include "content/TrailPath.h"

#include "camera/CameraTrack.h"

namespace {

CameraTrack makePath() {
    const Vec3 keys[11] = {{-35, 71, -18},    {-35, 11, -18},    {-34, -72, -21},
                           {5, -146, -19},    {-36, -204, -19},  {-114, -128, -16},
                           {-120, -211, -12}, {-176, -223, -10}, {-172, -218, -53},
                           {-270, -131, -40}, {-270, -131, -200}};
    CameraTrack path;
    for (int k = 0; k < 11; ++k)
        path.addKey(keys[k].x, keys[k].y, keys[k].z, static_cast<float>(k), 1);
    return path;
}

} // namespace

Vec3 cityTrailPoint(float u) {
    static const CameraTrack path = makePath();
    return path.sample(u, 3);
}
