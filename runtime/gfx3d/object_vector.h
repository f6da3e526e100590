// A small 3-vector for the object code's geometry (meshes, packing, collisions).
#pragma once

#include <cmath>

namespace runtime::object_detail {

struct Vec3 {
    double x = 0, y = 0, z = 0;

    static Vec3 of(const float v[3]) { return {v[0], v[1], v[2]}; }
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    Vec3& operator+=(const Vec3& o) { return *this = *this + o; }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length_sq(const Vec3& a) { return dot(a, a); }
// A length whose square is 1e-7 or less counts as 0.
inline double length_of(const Vec3& a) {
    const double sq = length_sq(a);
    return sq > 1e-7 ? std::sqrt(sq) : 0.0;
}
// Unit length for any vector that is not exactly zero (or not finite), however short;
// those are returned unchanged.
inline Vec3 normalised(const Vec3& a) {
    const double largest = std::fmax(std::fabs(a.x), std::fmax(std::fabs(a.y), std::fabs(a.z)));
    if (!(largest > 0) || !std::isfinite(largest)) return a;
    const Vec3 b = a * (1.0 / largest);
    return b * (1.0 / std::sqrt(length_sq(b)));
}
inline void store(const Vec3& v, float out[3]) {
    out[0] = static_cast<float>(v.x);
    out[1] = static_cast<float>(v.y);
    out[2] = static_cast<float>(v.z);
}

}  // namespace runtime::object_detail
