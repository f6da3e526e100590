// Colours as every drawing command takes them: red in bits 0-7, green in 8-15, blue in
// 16-23 (so 0x2080FF is orange). rgb() spells them the usual way round.
#pragma once

#include <cstdint>

namespace runtime {

// The colour value of red, green and blue, each 0..255 (clamped, fractions dropped).
constexpr double rgb(double red, double green, double blue) {
    // NaN fails the first comparison and counts as 0.
    auto channel = [](double v) { return static_cast<uint32_t>(v >= 0 ? (v <= 255 ? v : 255) : 0); };
    return static_cast<double>(channel(red) | channel(green) << 8 | channel(blue) << 16);
}

}  // namespace runtime
