// load_tile_map on the converter's own outputs (the golden cases of its tests) and on
// damaged files: the cells match the text output's numbers, a bad file changes nothing.
#include "runtime/files/tile_map.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "files_fixture.h"
#include "runtime/core/error_log.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynArray;

namespace {

std::string golden(const std::string& name) {
    return std::string(std::getenv("RUNTIME_TEST_DATA")) + "/app/data/" + name;
}

// The numbers of the converter's text output: every entry without "<", as 16-bit words.
std::vector<int> text_words(const std::string& path) {
    std::ifstream in(path);
    std::vector<int> words;
    for (std::string line; std::getline(in, line);)
        if (line.find('<') == std::string::npos) words.push_back(static_cast<int>(std::stoll(line) & 0xFFFF));
    return words;
}

std::string words(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    return bytes;
}

TEST_F(FilesTest, TileMapsOfTheConverterReadAsItsTextSays) {
    // Layer counts; 0 where the classic line steps wrote fewer cells than the header says.
    const std::pair<const char*, int> cases[] = {
        {"one_layer", 1},       {"two_layers", 2},
        {"crlf_line_ends", 1},  {"flip_flags", 1},
        {"gid_above_65535", 1}, {"object_group_between", 2},
        {"tab_indented", 1},    {"encoded_layer", 0},
        {"long_lines", 0},      {"both_data_tags_one_line", 0},
        {"quirks", 0},
    };
    for (const auto& [name, layers] : cases) {
        SCOPED_TRACE(name);
        DynArray<double> cells;
        ASSERT_EQ(runtime::load_tile_map(golden(std::string(name) + "/expected.pyxm").c_str(), cells),
                  layers);
        if (layers == 0) {
            EXPECT_EQ(cells.elements, nullptr);
            EXPECT_EQ(runtime::tile_map_tile_width(), 0);
            continue;
        }
        const std::vector<int> w = text_words(golden(std::string(name) + "/expected.txt"));
        ASSERT_EQ(cells.element_count(), static_cast<int>(w.size()) - 5);
        EXPECT_EQ(runtime::tile_map_tile_width(), w[2]);
        EXPECT_EQ(runtime::tile_map_tile_height(), w[3]);
        for (int layer = 0; layer < layers; ++layer)
            for (int y = 0; y < w[1]; ++y)
                for (int x = 0; x < w[0]; ++x)
                    EXPECT_EQ(runtime::element(cells, x, y, layer),
                              w[static_cast<size_t>(5 + x + w[0] * (y + w[1] * layer))]);
    }
}

TEST_F(FilesTest, DamagedTileMapsChangeNothingAndAreLogged) {
    const std::string good = words({2, 1, 8, 8, 1, 5, 6});
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"half a header", good.substr(0, 7)},
        {"one cell short", good.substr(0, good.size() - 2)},
        {"odd byte at the end", good + "x"},
        {"a cell too many", good + words({7})},
        {"no layers", words({2, 1, 8, 8, 0})},
        {"huge sizes, little data", words({65535, 65535, 8, 8, 65535, 1, 2})},
        {"one row beyond the cell limit", words({4096, 4097, 8, 8, 1})},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        runtime::delete_error_log();
        make_file(path("map.pyxm"), bytes);
        DynArray<double> cells;
        runtime::dimension(cells, 3);
        runtime::element(cells, 2) = 9;
        ASSERT_EQ(runtime::load_tile_map(path("map.pyxm").c_str(), cells), 0);
        EXPECT_EQ(cells.element_count(), 3);
        EXPECT_EQ(runtime::element(cells, 2), 9);
        EXPECT_NE(test_support::read_file(runtime::error_log_path())
                      .find("load_tile_map: \"" + path("map.pyxm") + "\" is damaged"),
                  std::string::npos);
    }
    // The limit itself is a size like any other: only the length is wrong here.
    make_file(path("map.pyxm"), words({4096, 4096, 8, 8, 1, 1}));
    DynArray<double> cells;
    runtime::delete_error_log();
    EXPECT_EQ(runtime::load_tile_map(path("map.pyxm").c_str(), cells), 0);
    EXPECT_NE(test_support::read_file(runtime::error_log_path()).find("need 33554442 bytes, the file has 12"),
              std::string::npos);
    EXPECT_EQ(runtime::load_tile_map(path("missing.pyxm").c_str(), cells), 0);
    EXPECT_NE(test_support::read_file(runtime::error_log_path()).find("load_tile_map: cannot read"),
              std::string::npos);
    make_file(path("map.pyxm"), good);
    ASSERT_EQ(runtime::load_tile_map(path("map.pyxm").c_str(), cells), 1);
    EXPECT_EQ(runtime::element(cells, 1, 0, 0), 6);
}

}  // namespace
