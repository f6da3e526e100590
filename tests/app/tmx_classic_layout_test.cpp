// The classic-layout test: true only where the line steps and the element names agree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/classic_layout.h"
#include "support/temp_dir.h"
#include "tmx_test_support.h"

using app::ClassicLayoutCheck;
using app::follows_classic_layout;
using app::follows_classic_layout_text;
using tmx_test::data_path;

namespace {

const std::string DECLARATION = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string MAP_LINE =
    "<map version=\"1.0\" orientation=\"orthogonal\" width=\"2\" height=\"1\" tilewidth=\"16\" tileheight=\"16\">\n";
const std::string TILESET_LINE = " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\">\n";
const std::string BODY =
    "  <image source=\"t.png\" width=\"64\" height=\"64\"/>\n"
    " </tileset>\n"
    " <layer name=\"a\" width=\"2\" height=\"1\">\n"
    "  <data>\n"
    "   <tile gid=\"1\"/>\n"
    "   <tile gid=\"2147483649\"/>\n"
    "  </data>\n"
    " </layer>\n"
    "</map>\n";

std::string classic_map() { return DECLARATION + MAP_LINE + TILESET_LINE + BODY; }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(ClassicLayout, FixturesInTheClassicLayout) {
    for (const char* file : {"tmx_variants/classic.tmx", "tmx_variants/classic_crlf.tmx",
                             "tmx_variants/classic_object_group_between.tmx", "tmx_editor/classic_layout.tmx",
                             "tmx_editor/own_classic.tmx"}) {
        EXPECT_TRUE(follows_classic_layout(data_path(file))) << file;
    }
}

TEST(ClassicLayout, EveryOtherFormIsNotClassic) {
    for (const char* file :
         {"tmx_variants/attribute_order.tmx", "tmx_variants/doctype.tmx", "tmx_variants/bom.tmx",
          "tmx_variants/modern_crlf.tmx", "tmx_variants/modern_empty_tiles.tmx", "tmx_variants/properties_first.tmx",
          "tmx_variants/external_tileset.tmx", "tmx_variants/groups.tmx", "tmx_variants/object_group_between.tmx",
          "tmx_variants/csv.tmx", "tmx_variants/base64.tmx", "tmx_variants/base64_zlib.tmx",
          "tmx_variants/base64_gzip.tmx", "tmx_variants/base64_zstd.tmx", "tmx_editor/classic_layout_editor_xml.tmx",
          "tmx_editor/classic_layout_editor_csv.tmx", "tmx_refused/infinite.tmx", "tmx_refused/empty.tmx",
          "tmx_refused/gid_not_a_number.tmx", "tmx_refused/unclosed_element.tmx", "tmx_refused/utf16.tmx"}) {
        EXPECT_FALSE(follows_classic_layout(data_path(file))) << file;
    }
    EXPECT_FALSE(follows_classic_layout(data_path("tmx_variants/no_such_file.tmx")));
}

TEST(ClassicLayout, ExactLinesDecide) {
    EXPECT_TRUE(follows_classic_layout_text(classic_map()));
    EXPECT_TRUE(follows_classic_layout_text(classic_map() + "\n  \n"));  // blank lines after the end
    // Extra map attributes after the six classic ones leave the steps' values alone.
    EXPECT_TRUE(follows_classic_layout_text(replaced(classic_map(), "tileheight=\"16\">", "tileheight=\"16\" nextobjectid=\"1\">")));
    EXPECT_TRUE(follows_classic_layout_text(replaced(classic_map(), "tileheight=\"16\">", "tileheight=\"16\" infinite=\"0\">")));
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF" + classic_map()},
        {"no declaration", MAP_LINE + TILESET_LINE + BODY},
        {"renderorder before width", replaced(classic_map(), "orientation=\"orthogonal\"", "orientation=\"orthogonal\" renderorder=\"right-down\"")},
        {"tiledversion first", replaced(classic_map(), "<map version=\"1.0\"", "<map tiledversion=\"1.1\" version=\"1.0\"")},
        {"single quotes", replaced(classic_map(), "width=\"2\"", "width='2'")},
        {"width not a number", replaced(classic_map(), "width=\"2\"", "width=\"two\"")},
        {"width with a leading zero", replaced(classic_map(), "width=\"2\"", "width=\"02\"")},
        {"width above 65535", replaced(replaced(classic_map(), "width=\"2\"", "width=\"70000\""), "height=\"1\"", "height=\"0\"")},
        {"tile size 0", replaced(classic_map(), "tilewidth=\"16\" tileheight", "tilewidth=\"0\" tileheight")},
        {"version with an entity", replaced(classic_map(), "version=\"1.0\" orientation", "version=\"1&amp;0\" orientation")},
        {"infinite", replaced(classic_map(), "tileheight=\"16\">", "tileheight=\"16\" infinite=\"1\">")},
        {"doctype line", DECLARATION + "<!DOCTYPE map SYSTEM \"map.dtd\">\n" + MAP_LINE + TILESET_LINE + BODY},
        {"properties on line 3", DECLARATION + MAP_LINE + " <properties/>\n" + TILESET_LINE + BODY},
        {"external tileset first attribute source", replaced(classic_map(), "<tileset firstgid=\"1\"", "<tileset source=\"a.tsx\" firstgid=\"1\"")},
        {"encoded data", replaced(classic_map(), "<data>", "<data encoding=\"csv\">")},
        {"empty tile", replaced(classic_map(), "<tile gid=\"1\"/>", "<tile/>")},
        {"two tiles on a line", replaced(classic_map(), "<tile gid=\"1\"/>\n   <tile gid=\"2147483649\"/>", "<tile gid=\"1\"/><tile gid=\"1\"/>")},
        {"gid with a leading zero", replaced(classic_map(), "gid=\"1\"", "gid=\"01\"")},
        {"gid beyond 32 bits", replaced(classic_map(), "gid=\"1\"", "gid=\"4294967296\"")},
        {"too few tiles", replaced(classic_map(), "   <tile gid=\"1\"/>\n", "")},
        {"too many tiles", replaced(classic_map(), "   <tile gid=\"1\"/>\n", "   <tile gid=\"1\"/>\n   <tile gid=\"1\"/>\n")},
        {"tab before data", replaced(classic_map(), "  <data>", "\t<data>")},
        {"tab before a tile", replaced(classic_map(), "   <tile gid=\"1\"/>", "\t<tile gid=\"1\"/>")},
        {"tab before the end", replaced(classic_map(), "</map>", "\t</map>")},
        {"data tags on one line", replaced(classic_map(), "  <data>\n   <tile gid=\"1\"/>\n   <tile gid=\"2147483649\"/>\n  </data>", "  <data></data>")},
        {"comment with a marker", replaced(classic_map(), " </tileset>", " </tileset><!-- <data> -->")},
        {"no end of map", replaced(classic_map(), "</map>\n", "")},
        {"text after the end", classic_map() + "<map/>\n"},
        {"map line in two lines", replaced(classic_map(), " tilewidth=\"16\" tileheight=\"16\">", "\n tilewidth=\"16\" tileheight=\"16\">")},
        {"long line", replaced(classic_map(), " </tileset>", " </tileset>" + std::string(1100, ' '))},
        {"mismatched end tag", replaced(classic_map(), " </layer>", " </layers>")},
        {"element left open", replaced(classic_map(), " </layer>", " <layer>")},
        {"tag over two lines", replaced(classic_map(), "  <image source=\"t.png\"", "  <image\n source=\"t.png\"")},
        {"processing instruction", replaced(classic_map(), " </tileset>", " </tileset><?x y?>")},
        {"zero byte", replaced(classic_map(), " </layer>", std::string(" </layer>\0", 10))},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(follows_classic_layout_text(c.text)) << c.what;
    }
}

TEST(ClassicLayout, LineByLineStopsEarlyForOtherForms) {
    // A converter that feeds lines learns at line 2 that a later editor's map is not classic.
    ClassicLayoutCheck check;
    EXPECT_TRUE(check.add_line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE(check.add_line("<map version=\"1.4\" tiledversion=\"1.4.0\" orientation=\"orthogonal\" "
                                "renderorder=\"right-down\" width=\"100\" height=\"100\" tilewidth=\"32\" "
                                "tileheight=\"32\" infinite=\"0\">"));
    EXPECT_FALSE(check.still_possible());
    EXPECT_FALSE(check.follows());
    EXPECT_FALSE(check.reason().empty());
    EXPECT_EQ(check.lines(), 2u);
    EXPECT_FALSE(check.add_line("</map>"));  // stays no
    EXPECT_EQ(check.lines(), 2u);

    ClassicLayoutCheck classic;
    std::string text = classic_map();
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_TRUE(classic.add_line(std::string_view(text).substr(start, end - start)));
    }
    EXPECT_TRUE(classic.follows());
    EXPECT_TRUE(classic.reason().empty());
}

TEST(ClassicLayout, PathAndTextGiveTheSameAnswer) {
    test_support::TempDir dir;
    const std::string texts[] = {classic_map(), replaced(classic_map(), "<tile gid=\"1\"/>", "<tile/>"),
                                 replaced(classic_map(), "\n", "\r\n")};
    for (const std::string& text : texts) {
        ASSERT_TRUE(test_support::write_file(dir.file("map.tmx"), text));
        EXPECT_EQ(follows_classic_layout(dir.file("map.tmx")), follows_classic_layout_text(text));
    }
}
