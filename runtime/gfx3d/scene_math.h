// Helpers shared by the scene's source files: numbers of commands, colours, vectors
// and column-major 4 x 4 matrices (not part of the public interface).
#pragma once

#include <cmath>
#include <cstdint>

#include "runtime/gfx2d/gfx2d_internal.h"

namespace runtime::gfx3d_detail {

// Numbers of commands become whole numbers and colours as in the 2D engine.
using gfx2d_detail::colour_of;
using gfx2d_detail::whole;

constexpr double DEGREES = 0.017453292519943295;

// A colour number as red, green, blue (and the given alpha) in 0..1.
struct Rgba {
    float r, g, b, a;
};
inline Rgba rgba_of(uint32_t colour, float alpha = 1.0f) {
    return {static_cast<float>(colour & 0xFF) / 255.0f,
            static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
            static_cast<float>((colour >> 16) & 0xFF) / 255.0f, alpha};
}

// Normalises in place any vector that is not exactly zero (or not finite), however short:
// the largest component is divided out first, so tiny lengths neither underflow nor lose
// precision.
template <class T>
inline void normalise(T v[3]) {
    const T largest = std::fmax(std::fabs(v[0]), std::fmax(std::fabs(v[1]), std::fabs(v[2])));
    if (!(largest > 0) || !std::isfinite(largest)) return;
    const T x = v[0] / largest, y = v[1] / largest, z = v[2] / largest;
    const T length = std::sqrt(x * x + y * y + z * z);
    v[0] = x / length;
    v[1] = y / length;
    v[2] = z / length;
}

// out = a x b for column-major matrices (out may not alias a or b).
template <class T>
inline void multiply(const T a[16], const T b[16], T out[16]) {
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            T sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
            out[column * 4 + row] = sum;
        }
    }
}

// m = m x b, in place.
inline void multiply_onto(float m[16], const float b[16]) {
    float out[16];
    multiply(m, b, out);
    for (int i = 0; i < 16; ++i) m[i] = out[i];
}

inline void load_identity(float m[16]) {
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// The inverse of a column-major matrix in double precision; false when the magnitude
// of the determinant is below 1e-12 of the matrix's scale (its largest element to the
// fourth power, the determinant being of degree four).
bool invert(const double m[16], double out[16]);

// out = m x (x, y, z, w).
inline void transform(const double m[16], const double in[4], double out[4]) {
    for (int row = 0; row < 4; ++row) {
        out[row] = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row] * in[3];
    }
}

}  // namespace runtime::gfx3d_detail
