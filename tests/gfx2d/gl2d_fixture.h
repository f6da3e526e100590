// A fresh offscreen window, context and 2D engine per test, plus helpers to read the
// frame back and compare it with reference pictures (actual and difference images are
// written into the build tree on a mismatch).
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/gfx2d/gfx2d.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "support/runtime_fixture.h"

namespace runtime {

inline constexpr int TEST_SCREEN_W = 320;
inline constexpr int TEST_SCREEN_H = 240;

// Colours in the runtime's encoding.
inline constexpr uint32_t RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000, WHITE = 0xFFFFFF;

class Gl2dTest : public test_support::RuntimeFixture {
protected:
    void SetUp() override {
        RuntimeFixture::SetUp();
        ASSERT_NE(create_engine_2d(), nullptr);
        ASSERT_TRUE(create_gl_window(TEST_SCREEN_W, TEST_SCREEN_H, 0, 60, 0)) << platform::last_error();
        engine = rainbows();
        ASSERT_TRUE(engine->gl_ready);
        ASSERT_EQ(engine->screen_width, TEST_SCREEN_W);
        set_alpha_mode(0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // RGB of a pixel in 2D coordinates (y down), in the runtime's colour encoding.
    static uint32_t pixel(int x, int y) { return static_cast<uint32_t>(read_pixel(x, y)); }
    // RGBA of a pixel in 2D coordinates, alpha in bits 24..31.
    static uint32_t pixel_rgba(int x, int y) {
        uint8_t p[4] = {};
        flush_sprite_batch();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, TEST_SCREEN_H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    // A test picture file: w x h 24-bit BMP whose pixels come from colour_at(x, y).
    template <class F>
    std::string make_bmp(const std::string& name, int w, int h, F colour_at) {
        std::vector<uint8_t> bgr(static_cast<size_t>(w * h) * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t c = colour_at(x, y);
                uint8_t* p = &bgr[static_cast<size_t>((h - 1 - y) * w + x) * 3];
                p[0] = (c >> 16) & 0xFF;
                p[1] = (c >> 8) & 0xFF;
                p[2] = c & 0xFF;
            }
        }
        const std::string path = temp_.file(name);
        // Key 0x010000 (blue 1) is in none of the test pictures, so nothing is rewritten.
        EXPECT_TRUE(save_image_file(path.c_str(), bgr.data(), w, h, w, false, 0x010000));
        return path;
    }
    void load(const std::string& path, int sprite) {
        ASSERT_EQ(load_sprite(DynString(path.c_str()), sprite), 1.0) << path;
    }

    OpenGLRainbows* engine = nullptr;
};

// Reads a w x h block of the frame (2D coordinates, rows top-down) as RGB bytes.
inline std::vector<uint8_t> read_block(int x, int y, int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w * h) * 3);
    std::vector<uint8_t> rows(rgb.size());
    flush_sprite_batch();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, TEST_SCREEN_H - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    for (int r = 0; r < h; ++r) {
        std::copy(rows.begin() + static_cast<long>(r) * w * 3, rows.begin() + static_cast<long>(r + 1) * w * 3,
                  rgb.begin() + static_cast<long>(h - 1 - r) * w * 3);
    }
    return rgb;
}

// Compares a block of the frame with a reference PNG under tests/gfx2d/golden/; each
// channel may differ by tolerance. Writes <name>.actual.png and <name>.diff.png on a
// mismatch, and the reference itself when RUNTIME_UPDATE_GOLDEN is set.
inline ::testing::AssertionResult matches_golden(const std::string& name, int x, int y, int w, int h,
                                                 int tolerance) {
    const std::vector<uint8_t> actual = read_block(x, y, w, h);
    const char* data = std::getenv("RUNTIME_TEST_DATA");
    const std::string golden = std::string(data ? data : "tests") + "/gfx2d/golden/" + name + ".png";
    std::vector<uint8_t> bgr(actual.size());
    for (size_t i = 0; i < actual.size(); i += 3) {
        bgr[i] = actual[i + 2];
        bgr[i + 1] = actual[i + 1];
        bgr[i + 2] = actual[i];
    }
    if (std::getenv("RUNTIME_UPDATE_GOLDEN")) {
        save_image_file(golden.c_str(), bgr.data(), w, h, w, true, 0x010000);
    }
    ImageBuffer expected;
    if (!load_png(expected, golden.c_str(), NO_COLOUR_KEY)) {
        return ::testing::AssertionFailure() << "no reference picture " << golden;
    }
    if (expected.width != w || expected.height != h) {
        return ::testing::AssertionFailure() << "reference size differs: " << golden;
    }
    int mismatches = 0;
    std::vector<uint8_t> diff(bgr.size(), 0);
    for (int i = 0; i < w * h; ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int got = actual[static_cast<size_t>(i * 3 + c)];
            worst = std::max(worst, std::abs(got - expected.pixels[static_cast<size_t>(i * 4 + c)]));
        }
        if (worst > tolerance) {
            ++mismatches;
            diff[static_cast<size_t>(i * 3 + 2)] = 255;
        }
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    save_image_file((name + ".actual.png").c_str(), bgr.data(), w, h, w, true, 0x010000);
    save_image_file((name + ".diff.png").c_str(), diff.data(), w, h, w, true, 0x010000);
    return ::testing::AssertionFailure() << mismatches << " pixels differ from " << golden
                                         << " (see " << name << ".actual.png / .diff.png)";
}

}  // namespace runtime
