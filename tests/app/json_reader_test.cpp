// JSON maps and infinite maps: the editor's own saves give what their XML forms give, and
// damaged files are refused with their reason and no entry.
#include "app/json_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/conversion.h"
#include "app/tmx_reader.h"
#include "converter_process.h"
#include "support/temp_dir.h"
#include "tmx_test_support.h"

namespace {

using tmx_test::CollectingSink;
using tmx_test::data_path;

struct Converted {
    std::vector<std::string> entries;
    std::string binary;
    app::MapSummary summary;
};

Converted convert(const std::string& source) {
    test_support::TempDir dir;
    const app::ConversionResult result = app::convert_map(source, dir.path().string());
    EXPECT_TRUE(result.ok) << source << ": " << result.reason;
    CollectingSink sink;
    const std::string text = test_support::read_file(result.outputs.text_path);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) sink.entries.push_back(text.substr(at, end - at));
    return {sink.entries, test_support::read_file(result.outputs.binary_path), result.summary};
}

// Every entry but the first (the first line of the file as read).
std::vector<std::string> after_first(std::vector<std::string> entries) {
    if (!entries.empty()) entries.erase(entries.begin());
    return entries;
}

TEST(JsonMaps, EditorJsonSavesGiveWhatTheirTmxSavesGive) {
    for (const std::string source : {"classic_layout", "own_classic"}) {
        const Converted tmx = convert(data_path("tmx_editor/" + source + "_editor_csv.tmx"));
        for (const char* format : {"array", "b64", "zlib", "gzip", "zstd"}) {
            SCOPED_TRACE(source + " " + format);
            const Converted json = convert(data_path("json_editor/" + source + "_editor_" + format + ".tmj"));
            EXPECT_EQ(json.binary, tmx.binary);
            EXPECT_EQ(after_first(json.entries), after_first(tmx.entries));
            EXPECT_EQ(json.entries.front().rfind("{", 0), 0u);
            EXPECT_EQ(json.summary.reader, "read as a JSON map");
        }
    }
}

TEST(InfiniteMaps, TheSameMapInfiniteAndMadeFixedGivesTheSameBinary) {
    const Converted fixed = convert(data_path("json_editor/infinite_fixed.tmx"));
    EXPECT_TRUE(fixed.summary.area_note.empty());
    for (const char* form : {"infinite_editor.tmx", "infinite_editor_array.tmj", "infinite_editor_zlib.tmj"}) {
        SCOPED_TRACE(form);
        const Converted infinite = convert(data_path(std::string("json_editor/") + form));
        EXPECT_EQ(infinite.binary, fixed.binary);
        EXPECT_EQ(after_first(infinite.entries), after_first(fixed.entries));
        EXPECT_EQ(infinite.summary.area_note, "infinite map: converted over its used area from (-16, -16), 48 x 32");
    }
    // The command line says where the area starts.
    const converter_test::ProcessRun run = converter_test::run_program(
        converter_test::converter_path(), {"-o", test_support::TempDir().path().string(), data_path("json_editor/infinite_editor_zlib.tmj")});
    EXPECT_NE(run.out.find("48 x 32 map, 16 x 16 tiles, 2 layers, 3072 tiles (read as a JSON map); infinite map: converted "
                           "over its used area from (-16, -16), 48 x 32\n"), std::string::npos) << run.out << run.err;
}

// Chunks laid out over their bounding rectangle: gaps are 0, every layer over the same area.
TEST(InfiniteMaps, ChunksAreLaidOutRowByRowOverTheUsedArea) {
    const std::string chunks = "{\"x\":-2,\"y\":0,\"width\":2,\"height\":2,\"data\":[1,2,3,4]},"
                               "{\"data\":[5,6,7,8],\"x\":2,\"y\":1,\"width\":2,\"height\":2}";
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("m.json"),
        "{\"type\":\"map\",\"version\":1.5,\"infinite\":true,\"tilewidth\":8,\"tileheight\":8,\"tilesets\":[{\"firstgid\":3}],"
        "\"layers\":[{\"type\":\"tilelayer\",\"name\":\"A\",\"chunks\":[" + chunks + "]},{\"type\":\"group\",\"layers\":["
        "{\"type\":\"tilelayer\",\"name\":\"B\",\"chunks\":[]}]}]}"));
    const Converted map = convert(dir.file("m.json"));
    const std::vector<std::string> expected = {"<1.5>", "6", "3", "8", "8", "<3>", "2",
        "<data>", "1", "2", "0", "0", "0", "0", "3", "4", "0", "0", "5", "6", "0", "0", "0", "0", "7", "8", "</data>",
        "<data>", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "</data>", "</map>"};
    EXPECT_EQ(after_first(map.entries), expected);
}

TEST(JsonMapRefusals, DamagedMapsAreRefusedWithTheirReasonAndNoEntry) {
    const std::string head = "{\"type\":\"map\",\"tilewidth\":8,\"tileheight\":8,";
    const std::string fixed = head + "\"width\":2,\"height\":1,\"layers\":[{\"type\":\"tilelayer\",\"name\":\"L\",";
    const std::string infinite = head + "\"infinite\":true,\"layers\":[{\"type\":\"tilelayer\",\"name\":\"L\",\"chunks\":[";
    struct Case {
        std::string json;
        const char* reason;  // the start of the reason
    };
    const Case cases[] = {
        {fixed + "\"data\":[1,2]}", "the file is not valid JSON: parse error at line 1, column "},
        {head + "\"width\":\"2\",\"height\":1}", "the map's width \"2\" is not a whole number"},
        {head + "\"width\":99999999999999999999999,\"height\":1}", "the map's width \"99999999999999999999999\" is not a whole number"},
        {head + "\"width\":70000,\"height\":1}", "the map's width \"70000\" is larger than 65535"},
        {fixed + "\"data\":[1,4294967296]}]}", "layer 1 (\"L\") has the tile number \"4294967296\", beyond 32 bits"},
        {fixed + "\"data\":[1,-2]}]}", "layer 1 (\"L\") has the tile number \"-2\", not a whole number"},
        {fixed + "\"data\":[1,2.5]}]}", "layer 1 (\"L\") has the tile number \"2.5\", not a whole number"},
        {fixed + "\"data\":[1]}]}", "layer 1 (\"L\") has fewer tiles than the map has cells (1 tiles for 2 x 1 cells)"},
        {head + "\"layers\":[{\"type\":\"tilelayer\",\"name\":\"L\",\"compression\":\"zlib\",\"data\":\"eJxjZGBgAAAACAAC\","
                "\"encoding\":\"base64\"}],\"width\":2,\"height\":1}",
         "layer 1 (\"L\") has fewer tiles than the map has cells (1 tiles for 2 x 1 cells)"},
        {fixed + "\"data\":{}}]}", "layer 1 (\"L\") has data that is neither a list of tile numbers nor a text"},
        {fixed + "\"encoding\":\"base64\",\"data\":\"AQAAAA@@\"}]}", "layer 1 (\"L\") has invalid base64 text"},
        {fixed + "\"encoding\":\"base64\",\"compression\":\"lz4\",\"data\":\"\"}]}", "layer 1 (\"L\") has text data with the compression \"lz4\", which the converter does not read"},
        {fixed + "\"data\":[1,2]}]", "the file is not valid JSON: parse error"},
        {"{\"type\":\"tileset\",\"tilewidth\":8,\"tileheight\":8}", "the file is not a map: its type is \"tileset\""},
        {"[1,2]", "the file is not a map: it is a JSON array"},
        {std::string(300, '[') + std::string(300, ']'), "the file is not a map: it is a JSON array"},
        {"{\"a\":" + std::string(300, '[') + std::string(300, ']') + "}", "its objects and arrays are nested more than 256 levels deep"},
        {head + "\"name\":\"" + std::string((size_t{8} << 20) + 1, 'x') + "\"}", "it holds one text or number larger than 8 MiB"},
        {infinite + "]}]}", "the map is empty"},
        {infinite + "{\"x\":9223372036854775807,\"y\":0,\"width\":1,\"height\":1,\"data\":[1]}]}]}",
         "layer 1 (\"L\") has a chunk whose position \"9223372036854775807\" is not a whole number within 2147483647 tiles"},
        {infinite + "{\"x\":-99999999999999999999,\"y\":0,\"width\":1,\"height\":1,\"data\":[1]}]}]}", "layer 1 (\"L\") has a chunk whose position"},
        {infinite + "{\"x\":-2147483647,\"y\":0,\"width\":1,\"height\":1,\"data\":[1]},{\"x\":2147483647,\"y\":0,\"width\":1,\"height\":1,\"data\":[1]}]}]}",
         "the map's used area, 4294967295 x 1 tiles, is larger than 65535"},
        {infinite + "{\"x\":0,\"y\":0,\"width\":2,\"height\":2,\"data\":[1]}]}]}", "layer 1 (\"L\") has a chunk with 1 tiles for 2 x 2 cells"},
        {infinite + "{\"x\":0,\"y\":0,\"width\":70000,\"height\":1,\"data\":[1]}]}]}", "layer 1 (\"L\") has a chunk whose size \"70000\" is not 1 to 65535 tiles"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.substr(0, 120));
        test_support::TempDir dir;
        ASSERT_TRUE(test_support::write_file(dir.file("m.tmj"), c.json));
        CollectingSink sink;
        const app::ReadOutcome outcome = app::read_json_map(dir.file("m.tmj"), sink);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.reason.rfind(c.reason, 0), 0u) << outcome.reason;
        EXPECT_TRUE(sink.entries.empty());
    }
}

// The same limits in XML: chunk positions and sizes, the used area, an empty map.
TEST(InfiniteMapRefusals, XmlChunksOutsideTheLimitsAreRefused) {
    const std::string head = "<map version=\"1.8\" tilewidth=\"8\" tileheight=\"8\" infinite=\"1\"><layer name=\"L\"><data encoding=\"csv\">";
    struct Case {
        std::string chunks;
        const char* reason;
    };
    const Case cases[] = {
        {"", "the map is empty"},
        {"<chunk x=\"99999999999\" y=\"0\" width=\"1\" height=\"1\">1</chunk>", "layer 1 (\"L\") has a chunk whose position is missing or beyond"},
        {"<chunk x=\"0\" y=\"0\" width=\"0\" height=\"1\"></chunk>", "layer 1 (\"L\") has a chunk whose size is missing or not 1 to 65535 tiles"},
        {"<chunk x=\"0\" y=\"0\" width=\"1\" height=\"1\">1</chunk><chunk x=\"70000\" y=\"0\" width=\"1\" height=\"1\">1</chunk>",
         "the map's used area, 70001 x 1 tiles, is larger than 65535"},
        {"<chunk x=\"0\" y=\"0\" width=\"1\" height=\"1\">1</chunk>5", "layer 1 (\"L\") holds data outside its chunks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks);
        test_support::TempDir dir;
        ASSERT_TRUE(test_support::write_file(dir.file("m.tmx"), head + c.chunks + "</data></layer></map>"));
        CollectingSink sink;
        const app::ReadOutcome outcome = app::read_by_element_names(dir.file("m.tmx"), sink);
        EXPECT_EQ(outcome.reason.rfind(c.reason, 0), 0u) << outcome.reason;
        EXPECT_TRUE(sink.entries.empty());
    }
}

}  // namespace
