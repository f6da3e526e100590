// The largest picture a load accepts, at its boundaries: a side of 32767 pixels loads and
// 32768 does not, in both formats, and the pixel buffer stops at 256 MiB.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/gfx2d/image_files.h"
#include "support/temp_dir.h"

namespace runtime {
namespace {

TEST(PictureLimits, SidesUpTo32767LoadInBothFormats) {
    test_support::TempDir dir;
    const std::vector<uint8_t> pixels(3u * (MAX_PICTURE_SIDE + 1), 0x40);
    const struct {
        int32_t width, height;
        bool loads;
    } cases[] = {{MAX_PICTURE_SIDE, 1, true}, {MAX_PICTURE_SIDE + 1, 1, false},
                 {1, MAX_PICTURE_SIDE, true}, {1, MAX_PICTURE_SIDE + 1, false}};
    for (const char* name : {"side.bmp", "side.png"}) {
        const std::string path = dir.file(name);
        for (const auto& c : cases) {
            ASSERT_TRUE(save_image_file(path.c_str(), pixels.data(), c.width, c.height, c.width, true));
            ImageBuffer image;
            EXPECT_EQ(load_picture(image, path.c_str(), NO_COLOUR_KEY), c.loads) << name << " " << c.width << " x " << c.height;
            EXPECT_EQ(image.width, c.loads ? c.width : 0) << name;
        }
    }
}

TEST(PictureLimits, PixelBufferStopsAt256MiB) {
    ImageBuffer image;
    EXPECT_FALSE(image.resize(8192, 8193));  // one row beyond 2^28 bytes of RGBA
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_TRUE(image.resize(8192, 8192));
    EXPECT_EQ(int64_t{image.capacity}, MAX_PICTURE_BYTES);
}

}  // namespace
}  // namespace runtime
