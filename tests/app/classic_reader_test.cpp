// The classic-layout steps on small maps: the entries handed on, the summary, refusals.
#include "app/classic_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct CollectingSink : app::EntrySink {
    std::vector<std::string> entries;
    void add(std::string_view entry) override { entries.emplace_back(entry); }
};

struct Read {
    app::ReadOutcome outcome;
    std::vector<std::string> entries;
};

Read read_bytes(const std::string& bytes) {
    test_support::TempDir dir;
    std::string path = dir.file("map.tmx");
    EXPECT_TRUE(test_support::write_file(path, bytes));
    CollectingSink sink;
    Read read;
    read.outcome = app::read_classic_layout(path, sink);
    read.entries = sink.entries;
    return read;
}

const std::string DECLARATION = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string MAP_3X2 = "<map version=\"1.0\" orientation=\"orthogonal\" width=\"3\" height=\"2\" tilewidth=\"16\" tileheight=\"16\">\n";
const std::string TILESET = " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\">\n";

using Entries = std::vector<std::string>;

TEST(ClassicReader, TheMapLineGivesTheVersionInBracketsThenTheFourSizes) {
    Read r = read_bytes(DECLARATION + MAP_3X2 + TILESET + "</map>\n");
    ASSERT_TRUE(r.outcome.ok) << r.outcome.reason;
    EXPECT_EQ(r.entries, (Entries{DECLARATION.substr(0, DECLARATION.size() - 1), "<1.0>", "3", "2", "16", "16", "<1>", "0", "</map>"}));
    EXPECT_EQ(r.outcome.summary.reader, "classic layout");
    EXPECT_EQ(r.outcome.summary.width, 3);
    EXPECT_EQ(r.outcome.summary.height, 2);
    EXPECT_EQ(r.outcome.summary.tile_width, 16);
    EXPECT_EQ(r.outcome.summary.layers, 0);
}

TEST(ClassicReader, ATileLineWithLeadingBlanksGivesTheGidDigitsOnly) {
    Read r = read_bytes(DECLARATION + MAP_3X2 + TILESET + "  <data>\n      <tile gid=\"5\"/>\n  </data>\n</map>\n");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(Entries(r.entries.begin() + 7, r.entries.end()), (Entries{"1", "<data>", "5", "</data>", "</map>"}));
    EXPECT_EQ(r.outcome.summary.tiles, 1);
}

TEST(ClassicReader, TheMapEndLineLosesItsBlanksAndEndsTheBody) {
    Read r = read_bytes(DECLARATION + MAP_3X2 + TILESET + "  < / map>  </map> \n<tile gid=\"9\"/>\n");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.entries.back(), "</map></map>");
}

TEST(ClassicReader, ALayerCountCountsEveryDataEndLineOfTheFile) {
    // Also the one after the map's end: the count comes from reading the whole file.
    Read r = read_bytes(DECLARATION + MAP_3X2 + TILESET + "<data>\n</data>\n</map>\n<!-- </data> -->\n");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.entries[7], "2");
    EXPECT_EQ(r.outcome.summary.layers, 2);
}

TEST(ClassicReader, AnEncodedLayerIsCountedGivesItsEndOnlyAndIsNamedInAWarning) {
    Read r = read_bytes(DECLARATION + MAP_3X2 + TILESET +
                        " <layer name=\"Ground\" width=\"3\" height=\"2\">\n  <data encoding=\"base64\" compression=\"zlib\">\n"
                        "   eJxjZGBgYAIAAA4ABA==\n  </data>\n </layer>\n</map>\n");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(Entries(r.entries.begin() + 7, r.entries.end()), (Entries{"1", "</data>", "</map>"}));
    ASSERT_EQ(r.outcome.summary.warnings.size(), 1u);
    EXPECT_EQ(r.outcome.summary.warnings[0], "layer \"Ground\" is stored as base64+zlib; its tiles were not converted");
}

TEST(ClassicReader, TheTilesetValueIsCutAfter255Characters) {
    std::string tileset = " <tileset firstgid=\"" + std::string(300, '7') + "\">\n";
    Read r = read_bytes(DECLARATION + MAP_3X2 + tileset + "</map>\n");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.entries[6], "<>");
    EXPECT_EQ(app::cut_tileset_line(" <tileset firstgid=\"" + std::string(254, '7') + "\">"), std::string(254, '7'));
}

TEST(ClassicReader, MapLineValuesAreCutByQuotePositions) {
    app::MapLineValues v = app::cut_map_line(MAP_3X2);
    EXPECT_TRUE(v.complete);
    EXPECT_EQ(v.version, "1.0");
    EXPECT_EQ(v.width, "3");
    EXPECT_EQ(v.tile_height, "16");
    // With renderorder between orientation and width the third value is not the width.
    app::MapLineValues later = app::cut_map_line(
        "<map version=\"1.0\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"3\" height=\"2\" tilewidth=\"16\" tileheight=\"16\">");
    EXPECT_TRUE(later.complete);
    EXPECT_EQ(later.width, "right-down");
    EXPECT_FALSE(app::cut_map_line("<map version=\"1.0\">").complete);
}

TEST(ClassicReaderRefusals, MapsTheStepsCannotConvertAreRefusedBeforeAnyEntry) {
    struct Case { std::string bytes; std::string reason_part; };
    const Case cases[] = {
        {"", "fewer than three lines"},
        {DECLARATION + MAP_3X2, "fewer than three lines"},
        {DECLARATION + MAP_3X2 + TILESET + "<data>\n</data>\n", "no \"</map>\" line"},
        // "</map>" on the tileset line is where the body never looks.
        {DECLARATION + MAP_3X2 + "<tileset firstgid=\"1\"/></map>\n", "no \"</map>\" line"},
        {DECLARATION + "<map version=\"1.0\" width=\"3\">\n" + TILESET + "</map>\n", "six quoted values"},
        {DECLARATION + "<map version=\"1.0\" tiledversion=\"1.10.2\" orientation=\"orthogonal\" width=\"3\" height=\"2\" tilewidth=\"16\" tileheight=\"16\">\n" + TILESET + "</map>\n",
         "not the whole numbers"},
    };
    for (const Case& c : cases) {
        Read r = read_bytes(c.bytes);
        EXPECT_FALSE(r.outcome.ok) << c.bytes;
        EXPECT_NE(r.outcome.reason.find(c.reason_part), std::string::npos) << r.outcome.reason;
        EXPECT_TRUE(r.entries.empty());
    }
}

TEST(ClassicReaderRefusals, AMissingFileIsRefused) {
    test_support::TempDir dir;
    CollectingSink sink;
    app::ReadOutcome outcome = app::read_classic_layout(dir.file("none.tmx"), sink);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.reason.find("cannot be opened"), std::string::npos);
}

}  // namespace
