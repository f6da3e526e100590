// Whole conversions through the library: golden cases byte for byte, output names, refusals.
#include "app/conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/classic_reader.h"
#include "app/output_writer.h"
#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Every tests/app/data/<case>/ (but the other reader's tmx_* cases) holds map.tmx and the
// outputs the classic steps give for it.
std::vector<std::string> golden_cases() {
    std::vector<std::string> cases;
    for (const auto& entry : fs::directory_iterator(converter_test::test_data_folder())) {
        std::string name = entry.path().filename().string();
        if (name.rfind("tmx_", 0) != 0 && fs::exists(entry.path() / "expected.pyxm")) cases.push_back(name);
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

// The classic line steps on every case, quirks included, through the real output writer.
TEST(ConversionGolden, TheClassicStepsGiveTheExpectedBytesForEveryCase) {
    std::vector<std::string> cases = golden_cases();
    ASSERT_GE(cases.size(), 10u);
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        fs::path folder = fs::path(converter_test::test_data_folder()) / name;
        test_support::TempDir dir;
        app::OutputWriter writer;
        std::string reason;
        ASSERT_TRUE(writer.begin(dir.file("map.txt"), dir.file("map.pyxm"), reason)) << reason;
        app::ReadOutcome outcome = app::read_classic_layout((folder / "map.tmx").string(), writer);
        ASSERT_TRUE(outcome.ok) << outcome.reason;
        ASSERT_TRUE(writer.commit(reason)) << reason;
        EXPECT_EQ(test_support::read_file(dir.file("map.txt")), test_support::read_file((folder / "expected.txt").string()));
        EXPECT_EQ(test_support::read_file(dir.file("map.pyxm")), test_support::read_file((folder / "expected.pyxm").string()));
    }
}

// Maps in the classic layout go through those steps when converted: same bytes, same reader.
TEST(ConversionGolden, ClassicLayoutMapsConvertToTheExpectedBytes) {
    size_t classic = 0;
    for (const std::string& name : golden_cases()) {
        SCOPED_TRACE(name);
        fs::path folder = fs::path(converter_test::test_data_folder()) / name;
        if (!app::follows_classic_layout((folder / "map.tmx").string())) continue;
        ++classic;
        test_support::TempDir dir;
        std::string input = dir.file("map.tmx");
        fs::copy_file(folder / "map.tmx", input);
        app::ConversionResult result = app::convert_map(input);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(result.summary.reader, "classic layout");
        EXPECT_EQ(result.outputs.text_path, dir.file("map.txt"));
        EXPECT_EQ(result.outputs.binary_path, dir.file("map.pyxm"));
        EXPECT_EQ(test_support::read_file(dir.file("map.txt")), test_support::read_file((folder / "expected.txt").string()));
        EXPECT_EQ(test_support::read_file(dir.file("map.pyxm")), test_support::read_file((folder / "expected.pyxm").string()));
        EXPECT_EQ(test_support::read_file(input), test_support::read_file((folder / "map.tmx").string()));
    }
    EXPECT_GE(classic, 6u);
}

// Every other map is read by element names: an encoded layer then gives its tiles.
TEST(ConversionDispatch, MapsOutsideTheClassicLayoutAreReadByElementNames) {
    test_support::TempDir dir;
    std::string input = dir.file("packed.tmx");
    fs::copy_file(fs::path(converter_test::test_data_folder()) / "encoded_layer" / "map.tmx", input);
    app::ConversionResult result = app::convert_map(input);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.summary.reader, "read by element names");
    EXPECT_EQ(result.summary.layers, 3);
    EXPECT_TRUE(result.summary.warnings.empty());
    // Sizes, the layer count, then the three layers' 2 x 2 tiles.
    std::string words = test_support::read_file(dir.file("packed.pyxm"));
    ASSERT_EQ(words.size(), 2u * (5 + 12));
    EXPECT_EQ(words[2 * 9], 1);  // the encoded layer's first tile
}

TEST(OutputNames, TheRuleChangesTheFileNameOnly) {
    struct Case { const char* input; const char* text; const char* binary; };
    const Case cases[] = {
        {"maps/level.tmx", "maps/level.txt", "maps/level.pyxm"},
        // Folders keep their names.
        {"a.tmx/b.tmx", "a.tmx/b.txt", "a.tmx/b.pyxm"},
        {"notes.txt.d/level.tmx", "notes.txt.d/level.txt", "notes.txt.d/level.pyxm"},
        // A JSON map's extension is replaced.
        {"maps.json/level.tmj", "maps.json/level.txt", "maps.json/level.pyxm"},
        {"level.tmx.json", "level.tmx.txt", "level.tmx.pyxm"},
        {"notes.txt.tmx", "notes.txt.txt", "notes.pyxm.pyxm"},
        // No ".tmx": the outputs are added to the name, the input is never an output.
        {"level.TMX", "level.TMX.txt", "level.TMX.pyxm"},
        {"map.xml", "map.xml.txt", "map.xml.pyxm"},
        {"old.txt", "old.txt.txt", "old.txt.pyxm"},
    };
    for (const Case& c : cases) {
        app::OutputNames names = app::derive_output_names(c.input);
        EXPECT_EQ(names.text_path, c.text) << c.input;
        EXPECT_EQ(names.binary_path, c.binary) << c.input;
    }
    app::OutputNames moved = app::derive_output_names("a.tmx/b.tmx", "out");
    EXPECT_EQ(moved.text_path, "out/b.txt");
    EXPECT_EQ(moved.binary_path, "out/b.pyxm");
}

TEST(Conversion, AnInputWithoutTmxInItsNameIsKeptAndGetsAddedOutputNames) {
    test_support::TempDir dir;
    fs::path one = fs::path(converter_test::test_data_folder()) / "one_layer";
    for (const char* name : {"level.TMX", "map.xml"}) {
        std::string input = dir.file(name);
        fs::copy_file(one / "map.tmx", input);
        app::ConversionResult result = app::convert_map(input);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(test_support::read_file(input), test_support::read_file((one / "map.tmx").string()));
        EXPECT_EQ(test_support::read_file(input + ".txt"), test_support::read_file((one / "expected.txt").string()));
        EXPECT_EQ(test_support::read_file(input + ".pyxm"), test_support::read_file((one / "expected.pyxm").string()));
    }
}

TEST(Conversion, ASecondConversionStartsFromNothing) {
    test_support::TempDir dir;
    fs::path data(converter_test::test_data_folder());
    fs::copy_file(data / "two_layers" / "map.tmx", dir.file("first.tmx"));
    fs::copy_file(data / "one_layer" / "map.tmx", dir.file("second.tmx"));
    app::ConversionResult first = app::convert_map(dir.file("first.tmx"));
    app::ConversionResult second = app::convert_map(dir.file("second.tmx"));
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.summary.layers, 2);
    EXPECT_EQ(second.summary.layers, 1);
    EXPECT_EQ(test_support::read_file(dir.file("second.pyxm")), test_support::read_file((data / "one_layer" / "expected.pyxm").string()));
}

TEST(ConversionRefusals, ARefusedMapLeavesNoOutputAndKeepsEarlierOnes) {
    test_support::TempDir dir;
    std::string input = dir.file("broken.tmx");
    ASSERT_TRUE(test_support::write_file(input, "<?xml?>\n<map version=\"1.0\">\n<tileset/>\n</map>\n"));
    ASSERT_TRUE(test_support::write_file(dir.file("broken.txt"), "from an earlier run"));
    app::ConversionResult result = app::convert_map(input);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(app::refusal_text("broken.tmx", result.reason).rfind("Cannot convert broken.tmx: ", 0), 0u);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(test_support::read_file(dir.file("broken.txt")), "from an earlier run");
    EXPECT_FALSE(fs::exists(dir.file("broken.pyxm")));
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u);
}

TEST(ConversionRefusals, AMissingFileAndAFolderAreRefused) {
    test_support::TempDir dir;
    EXPECT_NE(app::convert_map(dir.file("gone.tmx")).reason.find("cannot be opened"), std::string::npos);
    fs::create_directory(dir.path() / "folder.tmx");
    EXPECT_FALSE(app::convert_map(dir.file("folder.tmx")).ok);
}

}  // namespace
