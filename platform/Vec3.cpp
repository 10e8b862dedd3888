#include "platform/Vec3.h"

void rotateAboutAxis(Vec3& v, Vec3 a, float angle) {
    float before = length(v);
    a = normalize(a);
    float c = std::cos(angle), s = std::sin(angle), k = 1.0f - c;
    Vec3 r{(c + a.x * a.x * k) * v.x + (a.x * a.y * k + a.z * s) * v.y +
               (a.x * a.z * k - a.y * s) * v.z,
           (a.x * a.y * k - a.z * s) * v.x + (c + a.y * a.y * k) * v.y +
               (a.y * a.z * k + a.x * s) * v.z,
           (a.x * a.z * k + a.y * s) * v.x + (a.y * a.z * k - a.x * s) * v.y +
               (c + a.z * a.z * k) * v.z};
    float after = length(r);
    v = after > 0.0f ? r * (before / after) : r;
}
