// Reading maps by element names: every form of our own map gives the same entries, maps
// the editor re-saved in every encoding agree with their classic form, bad maps are refused.
#include "app/tmx_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/classic_reader.h"
#include "app/reader_helpers.h"
#include "support/temp_dir.h"
#include "tmx_test_support.h"

using tmx_test::CollectingSink;
using tmx_test::data_path;

namespace {

std::vector<std::string> expected_variant_entries() {
    std::ifstream in(data_path("tmx_variants/expected_entries.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> read_entries(const std::string& path, app::ReadOutcome* outcome_out = nullptr) {
    CollectingSink sink;
    const app::ReadOutcome outcome = app::read_by_element_names(path, sink);
    EXPECT_TRUE(outcome.ok) << path << ": " << outcome.reason;
    if (outcome_out != nullptr) *outcome_out = outcome;
    return sink.entries;
}

std::vector<std::string> tmx_files_in(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(data_path(folder))) {
        if (entry.path().extension() == ".tmx") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(ElementNamesReader, EveryFormOfOurMapGivesTheSameEntries) {
    const std::vector<std::string> expected = expected_variant_entries();
    ASSERT_EQ(expected.size(), 8u + 2 * (20 + 2) + 1);
    const std::vector<std::string> files = tmx_files_in("tmx_variants");
    ASSERT_GE(files.size(), 20u);
    for (const std::string& file : files) {
        EXPECT_EQ(read_entries(file), expected) << file;
    }
}

TEST(ElementNamesReader, SummaryTellsTheReaderAndTheSizes) {
    app::ReadOutcome outcome;
    read_entries(data_path("tmx_variants/base64_zstd.tmx"), &outcome);
    EXPECT_EQ(outcome.summary.reader, "read by element names");
    EXPECT_EQ(outcome.summary.width, 5);
    EXPECT_EQ(outcome.summary.height, 4);
    EXPECT_EQ(outcome.summary.tile_width, 32);
    EXPECT_EQ(outcome.summary.tile_height, 16);
    EXPECT_EQ(outcome.summary.layers, 2);
    EXPECT_EQ(outcome.summary.tiles, 40);
    EXPECT_TRUE(outcome.summary.warnings.empty());
}

TEST(ElementNamesReader, FlipFlagsKeepTheirDigits) {
    const std::vector<std::string> entries = read_entries(data_path("tmx_variants/base64_gzip.tmx"));
    // The second layer starts with tile 1 flipped horizontally, 2 vertically, 3 both ways.
    const auto top = std::find(entries.begin() + 9, entries.end(), "<data>");
    ASSERT_NE(top, entries.end());
    EXPECT_EQ(*(top + 1), "2147483649");
    EXPECT_EQ(*(top + 2), "1073741826");
    EXPECT_EQ(*(top + 3), "3221225475");
    EXPECT_EQ(*(top + 4), "536870913");
}

TEST(ElementNamesReader, ClassicMapsGiveWhatTheClassicStepsGive) {
    // On a classic-layout file both readers must agree entry by entry.
    for (const char* file : {"tmx_variants/classic.tmx", "tmx_variants/classic_crlf.tmx",
                             "tmx_variants/classic_object_group_between.tmx", "tmx_editor/classic_layout.tmx"}) {
        CollectingSink classic;
        const app::ReadOutcome outcome = app::read_classic_layout(data_path(file), classic);
        ASSERT_TRUE(outcome.ok) << file << ": " << outcome.reason;
        EXPECT_EQ(read_entries(data_path(file)), classic.entries) << file;
    }
}

TEST(ElementNamesReader, EditorResavesInEveryEncodingAgreeWithTheClassicForm) {
    // The editor writes its own version number, so the binary entries are compared whole
    // and the text entries apart from "<version>".
    for (const std::string source : {"classic_layout", "own_classic"}) {
        const std::vector<std::string> classic = read_entries(data_path("tmx_editor/" + source + ".tmx"));
        ASSERT_GT(classic.size(), 10u);
        for (const char* format : {"xml", "csv", "b64", "zlib", "gzip", "zstd"}) {
            const std::string file = data_path("tmx_editor/" + source + "_editor_" + format + ".tmx");
            std::vector<std::string> resaved = read_entries(file);
            EXPECT_EQ(tmx_test::word_entries(resaved), tmx_test::word_entries(classic)) << file;
            ASSERT_EQ(resaved.size(), classic.size()) << file;
            resaved[1] = classic[1];
            EXPECT_EQ(resaved, classic) << file;
        }
    }
}

TEST(ElementNamesReader, LargerMapInEveryEncodingMatchesXmlTiles) {
    // 300 x 200 x 3 layers: many parser buffers and decoder pieces.
    test_support::TempDir dir;
    const int width = 300, height = 200;
    std::vector<std::vector<uint32_t>> layers(3);
    uint32_t seed = 12345;
    for (auto& layer : layers) {
        for (int i = 0; i < width * height; ++i) {
            seed = seed * 1103515245u + 12345u;
            layer.push_back((seed >> 8) % 7 == 0 ? 0 : (seed >> 4) % 300 + 1);
        }
    }
    auto map_text = [&](const std::string& data_attributes, auto&& body) {
        std::ostringstream out;
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.9\" tiledversion=\"1.9.2\" "
               "orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" << width << "\" height=\"" << height
            << "\" tilewidth=\"8\" tileheight=\"8\" infinite=\"0\">\n <tileset firstgid=\"1\" source=\"t.tsx\"/>\n";
        for (const auto& layer : layers) out << " <layer name=\"L\">\n  <data" << data_attributes << ">" << body(layer) << "</data>\n </layer>\n";
        out << "</map>\n";
        return out.str();
    };
    const std::string xml = map_text("", [](const std::vector<uint32_t>& cells) {
        std::string s = "\n";
        for (uint32_t c : cells) s += c == 0 ? "   <tile/>\n" : "   <tile gid=\"" + std::to_string(c) + "\"/>\n";
        return s + "  ";
    });
    const std::string csv = map_text(" encoding=\"csv\"", [&](const std::vector<uint32_t>& cells) {
        std::string s = "\n";
        for (size_t i = 0; i < cells.size(); ++i) {
            s += std::to_string(cells[i]);
            if (i + 1 < cells.size()) s += (i + 1) % width == 0 ? ",\n" : ",";
        }
        return s + "\n";
    });
    ASSERT_TRUE(test_support::write_file(dir.file("xml.tmx"), xml));
    ASSERT_TRUE(test_support::write_file(dir.file("csv.tmx"), csv));
    const std::vector<std::string> from_xml = read_entries(dir.file("xml.tmx"));
    ASSERT_EQ(from_xml.size(), 8u + 3 * (width * height + 2) + 1);
    EXPECT_EQ(read_entries(dir.file("csv.tmx")), from_xml);
    EXPECT_EQ(from_xml[6], "<1>");
    EXPECT_EQ(from_xml[7], "3");
}

TEST(ElementNamesReader, MapWithoutTilesetOrLayers) {
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(
        dir.file("bare.tmx"), "<map version=\"1.2\" width=\"3\" height=\"2\" tilewidth=\"8\" tileheight=\"8\"/>"));
    const std::vector<std::string> entries = read_entries(dir.file("bare.tmx"));
    // The first line of a one-line file is the whole line.
    const std::vector<std::string> expected = {
        "<map version=\"1.2\" width=\"3\" height=\"2\" tilewidth=\"8\" tileheight=\"8\"/>",
        "<1.2>", "3", "2", "8", "8", "<0>", "0", "</map>"};
    EXPECT_EQ(entries, expected);
}

TEST(ElementNamesReader, FirstLineAsTheLineReaderGivesIt) {
    EXPECT_EQ(app::first_line_as_read("\xEF\xBB\xBF<?xml?>\r\n<map>"), "<?xml?>");
    EXPECT_EQ(app::first_line_as_read("<?xml?>\n"), "<?xml?>");
    EXPECT_EQ(app::first_line_as_read("<a>\rb\n"), "<a>\rb");  // a lone CR stays
    EXPECT_EQ(app::first_line_as_read(std::string("ab\0cd\n", 6)), "ab");
    EXPECT_EQ(app::first_line_as_read(std::string(3000, 'x')), std::string(1024, 'x'));
    EXPECT_EQ(app::first_line_as_read(std::string(1024, 'y') + "\n"), std::string(1024, 'y'));
    EXPECT_EQ(app::first_line_as_read(""), "");
}

TEST(ElementNamesReader, TheInputIsOnlyRead) {
    test_support::TempDir dir;
    const std::string path = dir.file("map.tmx");
    const std::string bytes = test_support::read_file(data_path("tmx_variants/csv.tmx"));
    ASSERT_TRUE(test_support::write_file(path, bytes));
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    read_entries(path);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(test_support::read_file(path), bytes);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(ElementNamesReaderRefusals, EveryBadMapIsRefusedWithItsReasonAndNoEntry) {
    struct Case {
        const char* file;
        const char* reason;  // a part of the reason
    };
    const Case cases[] = {
        {"infinite.tmx", "layer 1 (\"Ground\") has fewer tiles than the map has cells (2 tiles for 16 x 16 cells of a chunk)"},
        {"chunks_without_flag.tmx", "layer 1 (\"Ground\") holds a chunk, but the map is not infinite"},
        {"unclosed_element.tmx", "the file is not well-formed XML: "},
        {"mismatched_tag.tmx", "the file is not well-formed XML: mismatched tag (line 29"},
        {"cut_off.tmx", "the file is not well-formed XML"},
        {"no_tile_size.tmx", "the map has no tile size"},
        {"zero_tile_size.tmx", "the map has no tile size"},
        {"csv_too_few.tmx", "layer 1 (\"Ground\") has fewer tiles than the map has cells (19 tiles for 5 x 4 cells)"},
        {"csv_too_many.tmx", "layer 1 (\"Ground\") has more tiles than the map has cells"},
        {"xml_too_few.tmx", "layer 1 (\"Ground\") has fewer tiles than the map has cells (18 tiles"},
        {"base64_partial_tile.tmx", "a byte count that is not a whole number of tiles"},
        {"zlib_corrupt.tmx", "corrupt compressed data"},
        {"zlib_cut_short.tmx", "compressed data that ends too early"},
        {"unknown_encoding.tmx", "uses the data encoding \"base32\""},
        {"unknown_compression.tmx", "with compression \"lzma\""},
        {"gid_not_a_number.tmx", "has the tile number \"x5\", not a whole number"},
        {"gid_beyond_32_bits.tmx", "has the tile number \"4294967296\", beyond 32 bits"},
        {"csv_empty_field.tmx", "an empty CSV field"},
        {"bad_base64.tmx", "invalid base64 text"},
        {"not_a_map.tmx", "the file is not a map: its root element is \"tileset\""},
        {"width_beyond_16_bits.tmx", "the map's width \"70000\" is larger than 65535"},
        {"empty.tmx", "the file is empty"},
        {"utf16.tmx", "UTF-16"},
        {"layer_without_data.tmx", "layer 2 (\"Top\") has no data element"},
    };
    for (const Case& c : cases) {
        CollectingSink sink;
        const app::ReadOutcome outcome = app::read_by_element_names(data_path(std::string("tmx_refused/") + c.file), sink);
        EXPECT_FALSE(outcome.ok) << c.file;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << c.file << ": " << outcome.reason;
        EXPECT_TRUE(sink.entries.empty()) << c.file;
        EXPECT_EQ(outcome.summary.reader, "read by element names");
    }
    EXPECT_EQ(tmx_files_in("tmx_refused").size(), std::size(cases));
}

TEST(ElementNamesReaderRefusals, MissingFileAndFolder) {
    test_support::TempDir dir;
    CollectingSink sink;
    app::ReadOutcome outcome = app::read_by_element_names(dir.file("none.tmx"), sink);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.reason.find("the file cannot be opened"), std::string::npos) << outcome.reason;
    outcome = app::read_by_element_names(dir.path().string(), sink);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.reason, "not a map: it is a folder");
    EXPECT_TRUE(sink.entries.empty());
}

TEST(ElementNamesReaderRefusals, OverlongTextEntriesAndEntityTricks) {
    test_support::TempDir dir;
    const std::string tail = "\" width=\"1\" height=\"1\" tilewidth=\"8\" tileheight=\"8\"><layer><data>1</data></layer></map>";
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"<map version=\"" + std::string(300, '1') + tail, "longer than 255 characters"},
        {"<map version=\"1&#10;2" + tail, "holds a line break"},
        {"<!DOCTYPE map [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
         "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
         "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
         "<map version=\"1\" width=\"1\" height=\"1\" tilewidth=\"8\" tileheight=\"8\"><layer><data>&h;</data></layer></map>",
         "the file is not well-formed XML"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(test_support::write_file(dir.file("map.tmx"), c.text));
        CollectingSink sink;
        const app::ReadOutcome outcome = app::read_by_element_names(dir.file("map.tmx"), sink);
        EXPECT_FALSE(outcome.ok);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_TRUE(sink.entries.empty());
    }
}

TEST(ElementNamesReaderRefusals, ElementsNestUpTo256Levels) {
    test_support::TempDir dir;
    const auto map = [](size_t levels) {  // the map element is the first level
        std::string text = "<map version=\"1\" width=\"1\" height=\"1\" tilewidth=\"8\" tileheight=\"8\">";
        for (size_t i = 1; i < levels; ++i) text += "<a>";
        for (size_t i = 1; i < levels; ++i) text += "</a>";
        return text + "<layer><data encoding=\"csv\">1</data></layer></map>";
    };
    for (size_t levels : {size_t{256}, size_t{257}}) {
        ASSERT_TRUE(test_support::write_file(dir.file("map.tmx"), map(levels)));
        CollectingSink sink;
        const app::ReadOutcome outcome = app::read_by_element_names(dir.file("map.tmx"), sink);
        EXPECT_EQ(outcome.ok, levels == 256) << levels;
        EXPECT_EQ(outcome.reason, levels == 256 ? "" : "its elements are nested more than 256 levels deep");
    }
}

TEST(ElementNamesReaderRefusals, DamagedFilesAreReadOrRefusedNeverMisread) {
    // Cut and damaged copies of every encoding: each is either read with the right shape or
    // refused with a reason, and a refusal hands on no entry.
    test_support::TempDir dir;
    uint32_t seed = 2024;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (const char* name : {"csv.tmx", "base64.tmx", "base64_zlib.tmx", "base64_gzip.tmx", "base64_zstd.tmx",
                             "modern_empty_tiles.tmx"}) {
        const std::string original = test_support::read_file(data_path(std::string("tmx_variants/") + name));
        ASSERT_FALSE(original.empty());
        for (int round = 0; round < 60; ++round) {
            std::string damaged = original;
            if (round % 3 == 0) {
                damaged.resize(next() % damaged.size());
            } else {
                for (int flips = 1 + round % 4; flips > 0; --flips) {
                    damaged[next() % damaged.size()] = static_cast<char>(next() & 0xFF);
                }
            }
            ASSERT_TRUE(test_support::write_file(dir.file("damaged.tmx"), damaged));
            CollectingSink sink;
            const app::ReadOutcome outcome = app::read_by_element_names(dir.file("damaged.tmx"), sink);
            if (outcome.ok) {
                ASSERT_GE(sink.entries.size(), 9u);
                EXPECT_EQ(sink.entries.back(), "</map>");
                EXPECT_EQ(static_cast<int64_t>(sink.entries.size()),
                          8 + outcome.summary.layers * (outcome.summary.width * outcome.summary.height + 2) + 1)
                    << name << " round " << round;
            } else {
                EXPECT_FALSE(outcome.reason.empty());
                EXPECT_TRUE(sink.entries.empty()) << name << " round " << round;
            }
        }
    }
}
