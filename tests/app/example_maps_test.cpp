// The example maps open in the editor with their tileset: the picture they name is shipped
// beside them, at the size they give for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The width and height of a PNG file from its header chunk; {0, 0} when it is none.
std::pair<unsigned, unsigned> png_size(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto word = [&](size_t at) {
        unsigned v = 0;
        for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

TEST(ExampleMaps, TheTerrainTilesetTheyNameIsShippedAtItsSize) {
    const fs::path maps = fs::path(converter_test::test_data_folder()) / "../../../examples/maps";
    const std::regex image("<image source=\"terrain.png\" width=\"([0-9]+)\" height=\"([0-9]+)\"");
    size_t naming = 0;
    for (const auto& entry : fs::directory_iterator(maps)) {
        if (entry.path().extension() != ".tmx") continue;
        const std::string map = test_support::read_file(entry.path().string());
        std::smatch found;
        if (!std::regex_search(map, found, image)) continue;
        ++naming;
        SCOPED_TRACE(entry.path().filename().string());
        const auto [width, height] = png_size(test_support::read_file((maps / "terrain.png").string()));
        EXPECT_EQ(std::to_string(width), found[1].str());
        EXPECT_EQ(std::to_string(height), found[2].str());
    }
    EXPECT_GE(naming, 3u);
}

}  // namespace
