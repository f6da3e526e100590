// Hostile and damaged maps through the built converter: refused quickly and with little
// memory, or read by meaning; never misread by the line steps.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::run_program;

const std::string HEAD =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<map version=\"1.0\" orientation=\"orthogonal\" width=\"2\" height=\"1\" tilewidth=\"16\" tileheight=\"16\">\n"
    " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\"/>\n";
const std::string LAYER = " <layer name=\"L\" width=\"2\" height=\"1\">\n  <data>\n   <tile gid=\"1\"/>\n   <tile gid=\"2\"/>\n  </data>\n </layer>\n";
const std::string DATA = "  <data>\n   <tile gid=\"7\"/>\n   <tile gid=\"7\"/>\n  </data>\n";
const std::string END = "</map>\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// Files in the classic line layout whose lines say something else than their XML: each
// goes to the element reader, which refuses it or reads it by meaning.
TEST(HostileMaps, FilesTheLineStepsWouldMisreadGoToTheElementReader) {
    struct Case {
        const char* name;
        std::string map;
        uint64_t sparse_tail;  // zero bytes added after the map
        const char* expected;  // on standard error for a refusal, else the report line's end
    };
    const Case cases[] = {
        {"zero byte in a line", HEAD + replaced(LAYER, "<tile gid=\"2\"/>", std::string("<tile gid=\"2\"/>\0<tile gid=\"9\"/>", 31)) + END, 0,
         "not well-formed (invalid token) (line 7, column 18)"},
        {"4 GB of zeros after the map", HEAD + LAYER + END, uint64_t{4} << 30, "not well-formed (invalid token) (line 11, column 0)"},
        {"data outside a layer", HEAD + " <properties>\n" + DATA + " </properties>\n" + LAYER + END, 0,
         "2 x 1 map, 16 x 16 tiles, 1 layer, 2 tiles (read by element names)\n"},
        {"two data elements in a layer", HEAD + replaced(LAYER, " </layer>", DATA + " </layer>") + END, 0,
         "layer 1 (\"L\") has more than one data element\n"},
        {"a layer without data", HEAD + LAYER + " <layer name=\"E\" width=\"2\" height=\"1\">\n </layer>\n" + END, 0,
         "layer 2 (\"E\") has no data element\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::TempDir dir;
        ASSERT_TRUE(test_support::write_file(dir.file("m.tmx"), c.map));
        if (c.sparse_tail != 0) {
            ASSERT_EQ(::truncate(dir.file("m.tmx").c_str(), static_cast<off_t>(c.map.size() + c.sparse_tail)), 0);
        }
        const converter_test::ProcessRun run = run_program(converter_path(), {"-o", "out", "m.tmx"}, dir.path().string());
        const bool refused = std::string(c.expected).find("tiles (") == std::string::npos;
        EXPECT_EQ(run.status, refused ? 1 : 0);
        EXPECT_NE((refused ? run.err : run.out).find(c.expected), std::string::npos) << run.out << run.err;
        if (refused) {
            EXPECT_TRUE(fs::is_empty(dir.file("out")));
        }
    }
    // Data outside the layer is passed over: one layer of two tiles.
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("m.tmx"), cases[2].map));
    ASSERT_EQ(run_program(converter_path(), {"m.tmx"}, dir.path().string()).status, 0);
    EXPECT_EQ(test_support::read_file(dir.file("m.pyxm")), std::string("\2\0\1\0\20\0\20\0\1\0\1\0\2\0", 14));
}

// Millions of nested elements are refused at 256 levels, before they cost memory.
TEST(HostileMaps, DeepNestingIsRefusedWithLittleMemory) {
    test_support::TempDir dir;
    constexpr size_t LEVELS = 5000000;
    std::string nested;
    nested.reserve(LEVELS * 7);
    for (size_t i = 0; i < LEVELS; ++i) nested += "<a>";
    for (size_t i = 0; i < LEVELS; ++i) nested += "</a>";
    ASSERT_TRUE(test_support::write_file(dir.file("deep.tmx"), HEAD + nested + "\n" + LAYER + END));
    const converter_test::ProcessRun run = run_program(converter_path(), {"-o", "out", "deep.tmx"}, dir.path().string());
    EXPECT_EQ(run.err, "Cannot convert deep.tmx: its elements are nested more than 256 levels deep\n");
    EXPECT_LT(run.peak_kb, 400 * 1024);  // about 770 MB without the limit; a sanitizer build keeps up to 256 MB of freed memory
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
}

// One piece of markup of 64 MiB is read, one byte more is refused (without reading it again
// and again).
TEST(HostileMaps, MarkupOfAtMost64MiBIsRead) {
    constexpr size_t LIMIT = size_t{64} << 20;
    const auto comment = [](size_t size) { return "<!--" + std::string(size - 7, 'x') + "-->"; };
    const std::string property = " <properties><property name=\"p\" value=\"" + std::string(LIMIT, 'x') + "\"/></properties>";
    const struct {
        std::string map;
        bool read;
    } cases[] = {
        {HEAD + comment(LIMIT) + "\n" + LAYER + END, true},
        {HEAD + comment(LIMIT + 1) + "\n" + LAYER + END, false},
        {HEAD + property + "\n" + LAYER + END, false},
    };
    for (const auto& c : cases) {
        test_support::TempDir dir;
        ASSERT_TRUE(test_support::write_file(dir.file("m.tmx"), c.map));
        const converter_test::ProcessRun run = run_program(converter_path(), {"-o", "out", "m.tmx"}, dir.path().string());
        if (c.read) {
            EXPECT_EQ(run.status, 0) << run.err;
            continue;
        }
        const size_t start = c.map.rfind('<', c.map.find("xxxx"));  // where the huge piece starts
        EXPECT_EQ(run.err, "Cannot convert m.tmx: it holds one piece of markup (a tag with its attributes, a comment) "
                           "larger than 64 MiB, from byte " + std::to_string(start) + "\n");
        EXPECT_TRUE(fs::is_empty(dir.file("out")));
    }
}

}  // namespace
