// BMP and PNG reading and writing on real files: formats, the colour key, row order,
// damaged files that must fail cleanly, and the exact bytes written.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fcntl.h>

#include <filesystem>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/gfx2d/image_files.h"
#include "support/temp_dir.h"

namespace runtime {
namespace {

using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

void put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
uint32_t get32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
           (static_cast<uint8_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}
uint32_t get16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}

// A BMP with a 40-byte info header; palette entries are 4 bytes; data follows directly.
std::string bmp40(int32_t width, int32_t height, int bits, const std::string& palette,
                  const std::string& data) {
    std::string s = "BM";
    put32(s, static_cast<uint32_t>(54 + palette.size() + data.size()));
    put32(s, 0);
    put32(s, static_cast<uint32_t>(54 + palette.size()));
    put32(s, 40);
    put32(s, static_cast<uint32_t>(width));
    put32(s, static_cast<uint32_t>(height));
    put16(s, 1);
    put16(s, static_cast<uint32_t>(bits));
    for (int i = 0; i < 6; ++i) put32(s, 0);
    return s + palette + data;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

uint32_t rgba(const ImageBuffer& image, int x, int y) {
    const uint8_t* p = image.pixel(x, y);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class ImageFiles : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& content) {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(write_file(path, content));
        return path;
    }
    TempDir dir_;
};

TEST_F(ImageFiles, Bmp24ThreeWideHasTwelveByteRowsStoredBottomUp) {
    // Bottom row: red, green, blue; top row: white, black, (255, 0, 128).
    const std::string data = bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,
                                    255, 255, 255, 0, 0, 0, 128, 0, 255, 0, 0, 0});
    const std::string path = file("a.bmp", bmp40(3, 2, 24, "", data));
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(rgba(image, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF000000u);
    EXPECT_EQ(rgba(image, 2, 0), 0xFF8000FFu);
    EXPECT_EQ(rgba(image, 0, 1), 0xFF0000FFu);
    EXPECT_EQ(rgba(image, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(rgba(image, 2, 1), 0xFFFF0000u);
}

TEST_F(ImageFiles, Bmp32ThreeWideIgnoresTheFourthByte) {
    const std::string data = bytes({1, 2, 3, 99, 4, 5, 6, 0, 7, 8, 9, 255});
    const std::string path = file("a.bmp", bmp40(3, 1, 32, "", data));
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF010203u);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF040506u);
    EXPECT_EQ(rgba(image, 2, 0), 0xFF070809u);
}

TEST_F(ImageFiles, Bmp8UsesItsPalette) {
    const std::string palette = bytes({0, 0, 0, 0, 30, 20, 10, 0, 60, 50, 40, 0});
    const std::string data = bytes({2, 1, 0, 0});
    const std::string path = file("p.bmp", bmp40(2, 1, 8, palette, data));
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF3C3228u);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF1E140Au);
}

TEST_F(ImageFiles, BmpCoreHeaderReadsTwoToTheBitsPaletteEntriesOfThreeBytes) {
    std::string s = "BM";
    put32(s, 0);
    put32(s, 0);
    put32(s, 26 + 256 * 3);
    put32(s, 12);
    put16(s, 2);
    put16(s, 1);
    put16(s, 1);
    put16(s, 8);
    std::string palette(256 * 3, '\0');
    palette[5 * 3] = 3;  // blue
    palette[5 * 3 + 1] = 2;
    palette[5 * 3 + 2] = 1;
    s += palette + bytes({5, 0, 0, 0});
    const std::string path = file("core.bmp", s);
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF030201u);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF000000u);
}

TEST_F(ImageFiles, ColourKeyMakesMatchingPixelsFullyTransparent) {
    const std::string data = bytes({128, 0, 255, 1, 2, 3, 0, 0});
    const std::string path = file("k.bmp", bmp40(2, 1, 24, "", data));
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), DEFAULT_TRANSPARENT_COLOUR));
    EXPECT_EQ(rgba(image, 0, 0), 0u);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF010203u);
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF8000FFu);
}

TEST_F(ImageFiles, NegativeHeightBmpIsReadTopDown) {
    // First file row is red, second is blue; with height -2 the first is the top.
    const std::string data = bytes({0, 0, 255, 0, 255, 0, 0, 0});
    const std::string path = file("td.bmp", bmp40(1, -2, 24, "", data));
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, path.c_str(), NO_COLOUR_KEY));
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(rgba(image, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(rgba(image, 0, 1), 0xFFFF0000u);
}

TEST_F(ImageFiles, ALoadReusesALargeEnoughBufferAndAllocatesExactlyOtherwise) {
    ImageBuffer image;
    const std::string big = file("big.bmp", bmp40(4, 4, 24, "", std::string(48, '\1')));
    const std::string small = file("small.bmp", bmp40(1, 1, 24, "", std::string(4, '\2')));
    ASSERT_TRUE(load_bmp(image, big.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(image.capacity, 64);
    const uint8_t* buffer = image.pixels;
    ASSERT_TRUE(load_bmp(image, small.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(image.capacity, 64);
    EXPECT_EQ(image.pixels, buffer);
    ImageBuffer fresh;
    ASSERT_TRUE(load_bmp(fresh, small.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(fresh.capacity, 4);
}

// Damaged and unsupported files: each fails and leaves the buffer empty.
TEST_F(ImageFiles, DamagedBmpFilesFailCleanly) {
    const std::string good_row = bytes({1, 2, 3, 0});
    std::string enormous = bmp40(30000, 30000, 24, "", good_row);
    std::string wide = bmp40(2000000000, 1, 24, "", good_row);
    std::string info20 = bmp40(1, 1, 24, "", good_row);
    info20[14] = 20;
    std::string bad_offset = bmp40(1, 1, 24, "", good_row);
    bad_offset[10] = static_cast<char>(0xFF);
    bad_offset[13] = 0x7F;  // a palette of about 2 GB claimed
    const std::string short_palette = bmp40(2, 1, 8, bytes({1, 2, 3, 0, 4, 5, 6, 0}), bytes({0, 7, 0, 0}));
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"magic", "XM" + bmp40(1, 1, 24, "", good_row).substr(2)},
        {"header cut", bmp40(1, 1, 24, "", good_row).substr(0, 30)},
        {"info size 20", info20},
        {"16 bits", bmp40(1, 1, 16, "", good_row)},
        {"8 bits no palette", bmp40(1, 1, 8, "", good_row)},
        {"rows missing", bmp40(2, 3, 24, "", std::string(8, '\0'))},
        {"enormous size", enormous},
        {"enormous width", wide},
        {"palette past the end", bad_offset},
        {"index past the palette", short_palette},
        {"negative width", bmp40(-1, 1, 24, "", good_row)},
    };
    for (const auto& c : cases) {
        const std::string path = file("bad.bmp", c.content);
        ImageBuffer image;
        EXPECT_FALSE(load_bmp(image, path.c_str(), NO_COLOUR_KEY)) << c.name;
        EXPECT_FALSE(load_picture(image, path.c_str(), NO_COLOUR_KEY)) << c.name;
        EXPECT_EQ(image.width, 0) << c.name;
        EXPECT_EQ(image.height, 0) << c.name;
        EXPECT_EQ(image.capacity, 0) << c.name;
        EXPECT_EQ(image.pixels, nullptr) << c.name;
    }
}

TEST_F(ImageFiles, MissingFileFails) {
    ImageBuffer image;
    EXPECT_FALSE(load_picture(image, dir_.file("none.bmp").c_str(), NO_COLOUR_KEY));
    EXPECT_FALSE(load_png(image, dir_.file("none.png").c_str(), NO_COLOUR_KEY));
}

// PNG files written with libpng for the reader.
void write_png_file(const std::string& path, int w, int h, int colour_type, int depth,
                    const std::vector<uint8_t>& rows, const std::vector<png_color>& palette = {},
                    const std::vector<uint8_t>& trns = {}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        FAIL() << "libpng failed writing " << path;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, colour_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    png_write_info(png, info);
    const size_t row_bytes = rows.size() / static_cast<size_t>(h);
    for (int y = 0; y < h; ++y) png_write_row(png, rows.data() + static_cast<size_t>(y) * row_bytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

TEST_F(ImageFiles, PngWithAlphaKeepsItsAlphaAndIgnoresTheKey) {
    const std::string path = dir_.file("a.png");
    write_png_file(path, 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 0, 128, 255, 1, 2, 3, 77});
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, path.c_str(), DEFAULT_TRANSPARENT_COLOUR));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF8000FFu);
    EXPECT_EQ(rgba(image, 1, 0), 0x4D030201u);
}

TEST_F(ImageFiles, PngRgbTakesTheKeyAndRowsStayTopDown) {
    const std::string path = dir_.file("rgb.png");
    write_png_file(path, 1, 2, PNG_COLOR_TYPE_RGB, 8, {255, 0, 128, 9, 8, 7});
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, path.c_str(), DEFAULT_TRANSPARENT_COLOUR));
    EXPECT_EQ(rgba(image, 0, 0), 0u);
    EXPECT_EQ(rgba(image, 0, 1), 0xFF070809u);
}

TEST_F(ImageFiles, PalettePngWithTransparencyChunkGetsAlphaFromIt) {
    const std::string path = dir_.file("pal.png");
    write_png_file(path, 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1},
                   {{10, 20, 30}, {40, 50, 60}}, {0, 200});
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0x001E140Au);
    EXPECT_EQ(rgba(image, 1, 0), 0xC83C3228u);
}

TEST_F(ImageFiles, GreyPngSpreadsGreyOverRedGreenBlueAndIgnoresTheKey) {
    const std::string path = dir_.file("g.png");
    write_png_file(path, 2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200});
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, path.c_str(), 0));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF000000u);
    EXPECT_EQ(rgba(image, 1, 0), 0xFFC8C8C8u);
}

TEST_F(ImageFiles, SixteenBitAndOneBitPngsAreExpandedToEightBits) {
    const std::string wide = dir_.file("16.png");
    write_png_file(wide, 1, 1, PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, wide.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF9A5612u);
    const std::string bits = dir_.file("1.png");
    write_png_file(bits, 3, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0});
    ASSERT_TRUE(load_png(image, bits.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rgba(image, 1, 0), 0xFF000000u);
    EXPECT_EQ(rgba(image, 2, 0), 0xFFFFFFFFu);
}

TEST_F(ImageFiles, GreyPngWithAlphaFailsWithoutAMessage) {
    const std::string path = dir_.file("ga.png");
    write_png_file(path, 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {10, 20});
    ImageBuffer image;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(load_png(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(ImageFiles, DamagedPngFilesFailCleanly) {
    const std::string path = dir_.file("full.png");
    std::vector<uint8_t> rows(64 * 64 * 3, 90);
    write_png_file(path, 64, 64, PNG_COLOR_TYPE_RGB, 8, rows);
    const std::string whole = read_file(path);
    // IHDR width and height at bytes 16 and 20, with the chunk's checksum made right
    // again so that only the claimed size is wrong.
    auto claim = [&](uint32_t w, uint32_t h) {
        std::string s2 = whole;
        for (size_t i = 0; i < 4; ++i) {
            s2[16 + i] = static_cast<char>((w >> (24 - 8 * i)) & 0xFF);
            s2[20 + i] = static_cast<char>((h >> (24 - 8 * i)) & 0xFF);
        }
        const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(s2.data() + 12), 17);
        for (size_t i = 0; i < 4; ++i) s2[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
        return s2;
    };
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"cut in the data", whole.substr(0, whole.size() / 2)},
        {"cut in the header", whole.substr(0, 20)},
        {"signature only", whole.substr(0, 8)},
        {"side beyond the limit", claim(0x7FFF0040, 64)},
        {"30000 x 30000 pixels", claim(30000, 30000)},
        {"garbage", std::string(100, 'x')},
    };
    for (const auto& c : cases) {
        const std::string bad = file("bad.png", c.content);
        ImageBuffer image;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(load_png(image, bad.c_str(), NO_COLOUR_KEY)) << c.name;
        EXPECT_FALSE(load_picture(image, bad.c_str(), NO_COLOUR_KEY)) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.name;
        EXPECT_EQ(image.pixels, nullptr) << c.name;
        EXPECT_EQ(image.width, 0) << c.name;
    }
}

// A small file whose header claims a picture within the limits but far beyond what its
// compressed data can hold fails before the picture's memory is taken.
TEST_F(ImageFiles, PngClaimingMoreThanItsDataCanHoldAllocatesNothing) {
    const std::string path = dir_.file("claim.png");
    write_png_file(path, 64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 8, std::vector<uint8_t>(64 * 64 * 4, 1));
    std::string s = read_file(path);
    for (size_t i = 0; i < 4; ++i) s[16 + i] = s[20 + i] = static_cast<char>((8192u >> (24 - 8 * i)) & 0xFF);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(s.data() + 12), 17);
    for (size_t i = 0; i < 4; ++i) s[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
    const std::string bad = file("claim.png", s);
    // In a child, so that the peak memory seen is this load's alone.
    const pid_t pid = fork();
    if (pid == 0) {
        rusage before {}, after {};
        getrusage(RUSAGE_SELF, &before);
        ImageBuffer image;
        const bool loaded = load_png(image, bad.c_str(), NO_COLOUR_KEY);
        getrusage(RUSAGE_SELF, &after);
        _exit(!loaded && after.ru_maxrss - before.ru_maxrss < 64 * 1024 ? 0 : 1);  // KB
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ImageFiles, LoadPictureDecidesByContentNotName) {
    const std::string png_named_bmp = dir_.file("really_png.bmp");
    write_png_file(png_named_bmp, 1, 1, PNG_COLOR_TYPE_RGB, 8, {4, 5, 6});
    const std::string bmp_named_png = file("really_bmp.png", bmp40(1, 1, 24, "", bytes({6, 5, 4, 0})));
    ImageBuffer image;
    ASSERT_TRUE(load_picture(image, png_named_bmp.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF060504u);
    ASSERT_TRUE(load_picture(image, bmp_named_png.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0xFF060504u);
}

TEST(ImageNames, PngByEndingInAnyCase) {
    EXPECT_TRUE(is_png_name("a.png"));
    EXPECT_TRUE(is_png_name("shot.PNG"));
    EXPECT_TRUE(is_png_name("x.pNg"));
    EXPECT_FALSE(is_png_name(".png"));
    EXPECT_FALSE(is_png_name("a.bmp"));
    EXPECT_FALSE(is_png_name("apng"));
    EXPECT_FALSE(is_png_name(""));
    EXPECT_EQ(os_file_name("a\\b\\c.bmp"), "a/b/c.bmp");
}

TEST_F(ImageFiles, SavedBmpHasTheFixedHeaderPaddedRowsAndTheDefaultKeyColour) {
    // Two bottom-up input rows of 3 pixels: bottom row first.
    const std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 30, 20, 10, 0, 0, 0, 90, 0, 0};
    const std::string path = dir_.file("out.bmp");
    ASSERT_TRUE(save_image_file(path.c_str(), bgr.data(), 3, 2, 3, false, 0x1E140A));
    const std::string s = read_file(path);
    ASSERT_EQ(s.size(), 54u + 12 * 2);
    EXPECT_EQ(s.substr(0, 2), "BM");
    EXPECT_EQ(get32(s, 2), 78u);
    EXPECT_EQ(get32(s, 6), 0u);
    EXPECT_EQ(get32(s, 10), 54u);
    EXPECT_EQ(get32(s, 14), 40u);
    EXPECT_EQ(get32(s, 18), 3u);
    EXPECT_EQ(get32(s, 22), 2u);
    EXPECT_EQ(get16(s, 26), 1u);
    EXPECT_EQ(get16(s, 28), 24u);
    EXPECT_EQ(get32(s, 30), 0u);
    EXPECT_EQ(get32(s, 34), 0u);
    EXPECT_EQ(get32(s, 38), 10000u);
    EXPECT_EQ(get32(s, 42), 10000u);
    EXPECT_EQ(get32(s, 46), 0u);
    EXPECT_EQ(get32(s, 50), 0u);
    EXPECT_EQ(s.substr(54, 12), std::string(reinterpret_cast<const char*>(bgr.data()), 9) + std::string(3, '\0'));
    // (red 10, green 20, blue 30) is the transparent colour: written as (255, 0, 128).
    EXPECT_EQ(s.substr(66, 12), bytes({128, 0, 255, 0, 0, 0, 90, 0, 0, 0, 0, 0}));
}

TEST_F(ImageFiles, SavedBmpTopDownFlagReversesRows) {
    const std::vector<uint8_t> bgr = {1, 1, 1, 2, 2, 2};
    const std::string path = dir_.file("td.bmp");
    ASSERT_TRUE(save_image_file(path.c_str(), bgr.data(), 1, 2, 1, true, DEFAULT_TRANSPARENT_COLOUR));
    const std::string s = read_file(path);
    EXPECT_EQ(s.substr(54, 4), bytes({2, 2, 2, 0}));
    EXPECT_EQ(s.substr(58, 4), bytes({1, 1, 1, 0}));
}

TEST_F(ImageFiles, BmpAndPngRoundTripsKeepEveryPixel) {
    std::vector<uint8_t> bgr(7 * 5 * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 37 + 11);
    for (const char* name : {"rt.bmp", "rt.PNG"}) {
        const std::string path = dir_.file(name);
        ASSERT_TRUE(save_image_file(path.c_str(), bgr.data(), 7, 5, 7, false, DEFAULT_TRANSPARENT_COLOUR));
        ImageBuffer image;
        ASSERT_TRUE(load_picture(image, path.c_str(), NO_COLOUR_KEY)) << name;
        ASSERT_EQ(image.width, 7);
        ASSERT_EQ(image.height, 5);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 7; ++x) {
                const uint8_t* in = &bgr[static_cast<size_t>(((4 - y) * 7 + x) * 3)];
                const uint32_t want = in[2] | (in[1] << 8) | (in[0] << 16) | 0xFF000000u;
                EXPECT_EQ(rgba(image, x, y), want) << name << " at " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(read_file(dir_.file("rt.PNG")).substr(1, 3), "PNG");
}

TEST_F(ImageFiles, SavedPngComparesAllThreeComponentsWithTheTransparentColour) {
    // Transparent colour red 255, green 0, blue 128; the second pixel differs in red only.
    const std::vector<uint8_t> bgr = {128, 0, 255, 128, 0, 254};
    const std::string path = dir_.file("t.png");
    ASSERT_TRUE(save_image_file(path.c_str(), bgr.data(), 2, 1, 2, false, DEFAULT_TRANSPARENT_COLOUR));
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, path.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(rgba(image, 0, 0), 0x00FF0000u);  // blue 255, alpha 0
    EXPECT_EQ(rgba(image, 1, 0), 0xFF8000FEu);
}

TEST_F(ImageFiles, SavingIntoAMissingFolderFailsAndLeavesNothing) {
    const std::vector<uint8_t> bgr(12, 1);
    for (const char* name : {"no/such/a.bmp", "no/such/a.png"}) {
        const std::string path = dir_.file(name);
        EXPECT_FALSE(save_image_file(path.c_str(), bgr.data(), 2, 2, 2, false, 0));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

// A lock another program holds: readers may load alongside a reader, never a writer,
// and no save touches a file that anybody holds.
TEST_F(ImageFiles, HeldFilesLoadAlongsideReadersAndAreNeverSavedOver) {
    const std::vector<uint8_t> bgr(12, 7);
    for (const char* name : {"held.bmp", "held.png"}) {
        const std::string path = dir_.file(name);
        ASSERT_TRUE(save_image_file(path.c_str(), bgr.data(), 2, 2, 2, false, 0));
        const std::string before = read_file(path);
        for (int lock : {LOCK_SH, LOCK_EX}) {
            // Its own open of the file: to flock, as good as another process.
            const int fd = ::open(path.c_str(), O_RDONLY);
            ASSERT_EQ(::flock(fd, lock | LOCK_NB), 0);
            ImageBuffer image;
            EXPECT_EQ(load_picture(image, path.c_str(), NO_COLOUR_KEY), lock == LOCK_SH) << name;
            EXPECT_FALSE(save_image_file(path.c_str(), bgr.data(), 1, 1, 1, false, 0)) << name;
            EXPECT_EQ(read_file(path), before) << name;
            ::close(fd);
        }
        EXPECT_TRUE(save_image_file(path.c_str(), bgr.data(), 1, 1, 1, false, 0)) << name;
        EXPECT_NE(read_file(path), before) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
}

}  // namespace
}  // namespace runtime
