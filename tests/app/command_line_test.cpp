// The built converter at a terminal: arguments, report lines, exit status, refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::run_program;

fs::path golden(const std::string& name) { return fs::path(converter_test::test_data_folder()) / name; }

// A folder with copies of golden maps under the given names.
struct MapFolder {
    test_support::TempDir dir;
    std::string add(const std::string& golden_case, const std::string& name) {
        std::string path = dir.file(name);
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(golden(golden_case) / "map.tmx", path);
        return path;
    }
};

size_t files_in(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(folder)) ++n;
    return n;
}

TEST(CommandLine, ConvertsEachFileAndReportsOneLinePerFileAndASummary) {
    MapFolder maps;
    maps.add("one_layer", "meadow.tmx");
    maps.add("two_layers", "village.tmx");
    converter_test::ProcessRun run = run_program(converter_path(), {"meadow.tmx", "village.tmx"}, maps.dir.path().string(),
                                                 {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "meadow.tmx -> meadow.txt, meadow.pyxm: 3 x 2 map, 16 x 16 tiles, 1 layer, 6 tiles (classic layout)\n"
              "village.tmx -> village.txt, village.pyxm: 3 x 2 map, 16 x 16 tiles, 2 layers, 12 tiles (classic layout)\n"
              "2 of 2 maps converted\n");
    EXPECT_EQ(test_support::read_file(maps.dir.file("village.pyxm")), test_support::read_file((golden("two_layers") / "expected.pyxm").string()));
    EXPECT_EQ(test_support::read_file(maps.dir.file("meadow.txt")), test_support::read_file((golden("one_layer") / "expected.txt").string()));
}

TEST(CommandLine, OutputFolderOptionAndQuietMode) {
    MapFolder maps;
    std::string input = maps.add("gid_above_65535", "in/big.tmx");
    std::string out = maps.dir.file("out/nested");
    converter_test::ProcessRun run = run_program(converter_path(), {"-q", "-o", out, input});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(test_support::read_file(out + "/big.pyxm"), test_support::read_file((golden("gid_above_65535") / "expected.pyxm").string()));
    EXPECT_FALSE(fs::exists(maps.dir.file("in/big.txt")));
}

TEST(CommandLine, HelpAndVersion) {
    converter_test::ProcessRun help = run_program(converter_path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: brisel42_x9 [options] FILE.tmx...\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("-o DIR"), std::string::npos);
    converter_test::ProcessRun version = run_program(converter_path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("brisel42_x9 ", 0), 0u);
}

TEST(CommandLineFailures, UsageErrorsExitWithStatusTwo) {
    EXPECT_EQ(run_program(converter_path(), {"--frobnicate"}).status, 2);
    EXPECT_EQ(run_program(converter_path(), {"-o"}).status, 2);
    converter_test::ProcessRun only_options = run_program(converter_path(), {"-q"});
    EXPECT_EQ(only_options.status, 2);
    EXPECT_NE(only_options.err.find("no map files"), std::string::npos);
}

TEST(CommandLineFailures, RefusedMapsAreNamedOnStandardErrorAndTheStatusIsOne) {
    MapFolder maps;
    maps.add("one_layer", "good.tmx");
    ASSERT_TRUE(test_support::write_file(maps.dir.file("short.tmx"), "<?xml?>\n<map/>\n"));
    ASSERT_TRUE(test_support::write_file(maps.dir.file("endless.tmx"),
        "<?xml version=\"1.0\"?>\n<map version=\"1.0\" orientation=\"o\" width=\"1\" height=\"1\" tilewidth=\"8\" tileheight=\"8\">\n<tileset firstgid=\"1\"/>\n<layer>\n"));
    ASSERT_TRUE(test_support::write_file(maps.dir.file("chunks.tmx"),
        "<?xml version=\"1.0\"?>\n<map version=\"1.10\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"16\" height=\"16\" tilewidth=\"8\" tileheight=\"8\" infinite=\"1\">\n"
        " <tileset firstgid=\"1\" source=\"t.tsx\"/>\n <layer id=\"1\" name=\"L\" width=\"16\" height=\"16\">\n  <data encoding=\"csv\">\n"
        "   <chunk x=\"0\" y=\"0\" width=\"1\" height=\"1\">\n1\n</chunk>\n  </data>\n </layer>\n</map>\n"));
    converter_test::ProcessRun run = run_program(converter_path(), {"short.tmx", "good.tmx", "missing.tmx", "endless.tmx", "chunks.tmx"},
                                                 maps.dir.path().string());
    EXPECT_EQ(run.status, 1);
    for (const char* name : {"short.tmx", "endless.tmx"})
        EXPECT_NE(run.err.find(std::string("Cannot convert ") + name + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Cannot convert missing.tmx: the file cannot be opened (No such file or directory)\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Cannot convert chunks.tmx: infinite maps are not supported"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("short.tmx"), std::string::npos);
    EXPECT_NE(run.out.find("1 of 5 maps converted, 4 refused\n"), std::string::npos) << run.out;
    // The four inputs and the two outputs of good.tmx: nothing else.
    EXPECT_EQ(files_in(maps.dir.path()), 6u);
}

TEST(CommandLine, EachLineNamesTheReaderUsed) {
    MapFolder maps;
    maps.add("one_layer", "classic.tmx");
    maps.add("encoded_layer", "packed.tmx");
    converter_test::ProcessRun run = run_program(converter_path(), {"classic.tmx", "packed.tmx"}, maps.dir.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("classic.tmx -> classic.txt, classic.pyxm: 3 x 2 map, 16 x 16 tiles, 1 layer, 6 tiles (classic layout)\n"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("packed.tmx -> packed.txt, packed.pyxm: 2 x 2 map, 16 x 16 tiles, 3 layers, 12 tiles (read by element names)\n"),
              std::string::npos) << run.out;
}

TEST(CommandLine, TheInputIsNeverAnOutput) {
    MapFolder maps;
    std::string upper = maps.add("one_layer", "level.TMX");
    std::string xml = maps.add("one_layer", "map.xml");
    converter_test::ProcessRun run = run_program(converter_path(), {upper, xml});
    EXPECT_EQ(run.status, 0) << run.err;
    for (const std::string& input : {upper, xml}) {
        EXPECT_EQ(test_support::read_file(input), test_support::read_file((golden("one_layer") / "map.tmx").string()));
        EXPECT_EQ(test_support::read_file(input + ".pyxm"), test_support::read_file((golden("one_layer") / "expected.pyxm").string()));
    }
}

TEST(CommandLine, WithoutArgumentsAndWithoutADisplayItPointsAtTheCommandLine) {
    converter_test::ProcessRun run = run_program(converter_path(), {}, "", {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("brisel42_x9 [options] FILE.tmx..."), std::string::npos) << run.err;
}

TEST(CommandLine, TheBundledExamplesConvert) {
    fs::path examples = fs::path(converter_test::test_data_folder()).parent_path().parent_path().parent_path() / "examples" / "maps";
    test_support::TempDir out;
    std::vector<std::string> args{"-q", "-o", out.path().string()};
    size_t count = 0;
    for (const auto& e : fs::directory_iterator(examples))
        if (e.path().extension() == ".tmx") args.push_back(e.path().string()), ++count;
    ASSERT_GE(count, 5u);
    converter_test::ProcessRun run = run_program(converter_path(), args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(files_in(out.path()), 2 * count);
}

}  // namespace
