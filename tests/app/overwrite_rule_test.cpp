// Files at the output names are replaced only when they are an earlier output pair of the
// converter; anything else refuses the map (naming the file) unless --force is given.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/previous_output.h"
#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::run_program;
using test_support::read_file;
using test_support::write_file;

std::string data(const std::string& name) { return converter_test::test_data_folder() + "/" + name; }

struct Situation {
    const char* name;
    const char* map;      // from the test data
    const char* text;     // what is at level.txt beforehand; nullptr: nothing
    const char* binary;   // the same for level.pyxm; "converted" means an earlier output
    const char* foreign;  // the file named in the refusal; nullptr: it is replaced
};

TEST(OverwriteRule, OnlyAnEarlierPairOfTheConverterIsReplacedWithoutForce) {
    const Situation situations[] = {
        {"nothing there", "one_layer/map.tmx", nullptr, nullptr, nullptr},
        {"an earlier pair", "one_layer/map.tmx", "converted", "converted", nullptr},
        {"an earlier pair of a JSON map (first line text only)",
         "json_editor/classic_layout_editor_array.tmj", "converted", "converted", nullptr},
        {"the designer's notes", "one_layer/map.tmx", "my notes\n", nullptr, "level.txt"},
        {"notes in CR LF lines", "one_layer/map.tmx", "12\r\nnotes\r\n", nullptr, "level.txt"},
        {"a lone binary", "one_layer/map.tmx", nullptr, "\x03\x00", "level.pyxm"},
        {"an earlier text edited by hand", "one_layer/map.tmx", "edited", "converted", "level.txt"},
        {"an earlier binary of another map", "one_layer/map.tmx", "converted", "other", "level.txt"},
        {"an empty text and binary", "one_layer/map.tmx", "", "", "level.txt"},
    };
    for (const Situation& s : situations) {
        SCOPED_TRACE(s.name);
        test_support::TempDir dir;
        const std::string map = dir.file(fs::path(s.map).extension() == ".tmj" ? "level.tmj" : "level.tmx");
        fs::copy_file(data(s.map), map);
        ASSERT_EQ(run_program(converter_path(), {"-q", "--to", dir.file("earlier.txt"), map}).status, 0);
        ASSERT_EQ(
            run_program(converter_path(), {"-q", "--to", dir.file("other.txt"), data("two_layers/map.tmx")})
                .status,
            0);
        const auto place = [&](const char* what, const std::string& output, const std::string& earlier) {
            if (what == nullptr) return;
            const std::string w = what;
            ASSERT_TRUE(write_file(output, w == "converted" ? read_file(earlier)
                                           : w == "other"   ? read_file(dir.file("other.pyxm"))
                                           : w == "edited"  ? read_file(earlier) + "1\r\n"
                                                            : w));
        };
        place(s.text, dir.file("level.txt"), dir.file("earlier.txt"));
        place(s.binary, dir.file("level.pyxm"), dir.file("earlier.pyxm"));
        const std::string text_before = read_file(dir.file("level.txt")),
                          binary_before = read_file(dir.file("level.pyxm"));

        converter_test::ProcessRun run = run_program(converter_path(), {map});
        if (s.foreign == nullptr) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(read_file(dir.file("level.pyxm")), read_file(dir.file("earlier.pyxm")));
            continue;
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(dir.file(s.foreign) +
                               " exists and was not written by brisel42_x9 (--force replaces it)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(read_file(dir.file("level.txt")), text_before);
        EXPECT_EQ(read_file(dir.file("level.pyxm")), binary_before);
        // --force replaces them; the pair written is then an earlier output itself.
        run = run_program(converter_path(), {"--force", map});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_file(dir.file("level.txt")), read_file(dir.file("earlier.txt")));
        EXPECT_EQ(app::foreign_output(dir.file("level.txt"), dir.file("level.pyxm")), "");
    }
}

TEST(OverwriteRule, AFolderOrALinkToNothingAtAnOutputNameIsForeign) {
    test_support::TempDir dir;
    fs::create_directory(dir.file("a.txt"));
    EXPECT_EQ(app::foreign_output(dir.file("a.txt"), dir.file("a.pyxm")), dir.file("a.txt"));
    ASSERT_TRUE(write_file(dir.file("b.txt"), "1\r\n"));
    fs::create_symlink(dir.file("nowhere"), dir.file("b.pyxm"));
    EXPECT_EQ(app::foreign_output(dir.file("b.txt"), dir.file("b.pyxm")), dir.file("b.pyxm"));
}

}  // namespace
