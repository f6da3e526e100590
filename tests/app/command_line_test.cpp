// The built converter at a terminal: arguments, report lines, exit status, refusals.
#include <gtest/gtest.h>
#include <unistd.h>

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
    EXPECT_EQ(help.out.rfind("Usage: brisel42_x9 [options] MAP...\n", 0), 0u) << help.out;
    for (const char* named : {"-o DIR", "--to FILE", "-h, --help", "-q, --quiet", "--watch", "--force",
                              "--window", "--install-editor-extension", "--version", ".tmx", ".tmj"}) {
        EXPECT_NE(help.out.find(named), std::string::npos) << named;
    }
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
        "  </data>\n </layer>\n</map>\n"));
    converter_test::ProcessRun run = run_program(converter_path(), {"short.tmx", "good.tmx", "missing.tmx", "endless.tmx", "chunks.tmx"},
                                                 maps.dir.path().string());
    EXPECT_EQ(run.status, 1);
    for (const char* name : {"short.tmx", "endless.tmx"})
        EXPECT_NE(run.err.find(std::string("Cannot convert ") + name + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Cannot convert missing.tmx: the file cannot be opened (No such file or directory)\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Cannot convert chunks.tmx: the map is empty\n"), std::string::npos) << run.err;
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

// Output names are planned for the whole run: no map writes over another map of the run
// or over what an earlier map of the run wrote, and folders keep their names.
TEST(CommandLineRuns, OutputNamesAreCheckedAcrossTheRunAndKeepTheirFolders) {
    struct Output {
        const char* text;
        const char* binary;
        const char* golden_case;
    };
    struct Scenario {
        std::vector<std::pair<const char*, const char*>> maps;  // path, golden case
        std::vector<std::string> arguments;
        const char* refusal;  // "" when every map converts
        std::vector<Output> outputs;
    };
    const Scenario scenarios[] = {
        {{{"y.tmx", "one_layer"}, {"y.txt", "two_layers"}}, {"y.tmx", "y.txt"},
         "Cannot convert y.tmx: its output y.txt would overwrite y.txt, another map of this run\n",
         {{"y.txt.txt", "y.txt.pyxm", "two_layers"}}},
        {{{"a/m.tmx", "one_layer"}, {"b/m.tmx", "two_layers"}}, {"-o", "out", "a/m.tmx", "b/m.tmx"},
         "Cannot convert b/m.tmx: its output out/m.txt is also the output of a/m.tmx, converted earlier in this run\n",
         {{"out/m.txt", "out/m.pyxm", "one_layer"}}},
        {{{"x.tmx.txt", "one_layer"}, {"x.txt.tmx", "two_layers"}}, {"x.tmx.txt", "x.txt.tmx"},
         "Cannot convert x.txt.tmx: its output x.txt.txt is also the output of x.tmx.txt, converted earlier in this run\n",
         {{"x.txt.txt", "x.pyxm.pyxm", "one_layer"}}},
        {{{"maps.tmx/level.tmx", "one_layer"}, {"notes.txt.d/level.tmx", "two_layers"}},
         {"maps.tmx/level.tmx", "notes.txt.d/level.tmx"},
         "",
         {{"maps.tmx/level.txt", "maps.tmx/level.pyxm", "one_layer"}, {"notes.txt.d/level.txt", "notes.txt.d/level.pyxm", "two_layers"}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.arguments.back());
        MapFolder maps;
        for (const auto& [path, golden_case] : scenario.maps) maps.add(golden_case, path);
        converter_test::ProcessRun run = run_program(converter_path(), scenario.arguments, maps.dir.path().string());
        EXPECT_EQ(run.status, scenario.refusal[0] == '\0' ? 0 : 1);
        EXPECT_EQ(run.err, scenario.refusal);
        for (const auto& [path, golden_case] : scenario.maps)
            EXPECT_EQ(test_support::read_file(maps.dir.file(path)), test_support::read_file((golden(golden_case) / "map.tmx").string()));
        for (const Output& output : scenario.outputs) {
            EXPECT_EQ(test_support::read_file(maps.dir.file(output.text)), test_support::read_file((golden(output.golden_case) / "expected.txt").string()));
            EXPECT_EQ(test_support::read_file(maps.dir.file(output.binary)), test_support::read_file((golden(output.golden_case) / "expected.pyxm").string()));
        }
        size_t folders = 0;
        for (const auto& entry : fs::recursive_directory_iterator(maps.dir.path())) folders += entry.is_directory();
        EXPECT_EQ(files_in(maps.dir.path()) - folders, scenario.maps.size() + 2 * scenario.outputs.size());
    }
}

// The pair is committed whole or not at all: when the ".pyxm" cannot be replaced, the
// ".txt" keeps the earlier run's text.
TEST(CommandLineRuns, AnOutputThatCannotBeReplacedKeepsBothEarlierOutputs) {
    MapFolder maps;
    maps.add("one_layer", "m.tmx");
    ASSERT_EQ(run_program(converter_path(), {"m.tmx"}, maps.dir.path().string()).status, 0);
    fs::remove(maps.dir.file("m.pyxm"));
    fs::create_directory(maps.dir.file("m.pyxm"));
    fs::remove(maps.dir.file("m.tmx"));
    maps.add("two_layers", "m.tmx");
    converter_test::ProcessRun run = run_program(converter_path(), {"m.tmx"}, maps.dir.path().string());
    EXPECT_EQ(
        run.err,
        "Cannot convert m.tmx: m.pyxm exists and was not written by brisel42_x9 (--force replaces it)\n");
    run = run_program(converter_path(), {"--force", "m.tmx"}, maps.dir.path().string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot convert m.tmx: cannot write m.pyxm (Is a directory)\n");
    EXPECT_EQ(test_support::read_file(maps.dir.file("m.txt")), test_support::read_file((golden("one_layer") / "expected.txt").string()));
    EXPECT_EQ(files_in(maps.dir.path()), 3u);  // the map, the text, the folder in the way
}

// A classic map of width x height tiles, all with the same gid.
std::string uniform_map(int width, int height, int gid) {
    std::string map = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.0\" orientation=\"orthogonal\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) +
                      "\" tilewidth=\"16\" tileheight=\"16\">\n <tileset firstgid=\"1\" name=\"t\"/>\n <layer name=\"L\">\n  <data>\n";
    const std::string tile = "   <tile gid=\"" + std::to_string(gid) + "\"/>\n";
    for (int i = 0; i < width * height; ++i) map += tile;
    return map + "  </data>\n </layer>\n</map>\n";
}

// Two converters writing the same outputs at once: the last complete pair wins whole.
TEST(CommandLineRuns, ConcurrentRunsOnTheSameOutputsLeaveOneWholePair) {
    MapFolder maps;
    std::string pairs[2];
    // Maps a and c are alike, and so are b and d: four inputs, two possible pairs.
    const char* folders[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        const std::string name = folders[i];
        fs::create_directory(maps.dir.file(name));
        ASSERT_TRUE(test_support::write_file(maps.dir.file(name + "/m.tmx"), uniform_map(200, 200, i % 2 + 1)));
        if (i >= 2) continue;
        ASSERT_EQ(run_program(converter_path(), {name + "/m.tmx"}, maps.dir.path().string()).status, 0);
        pairs[i] = test_support::read_file(maps.dir.file(name + "/m.txt")) + test_support::read_file(maps.dir.file(name + "/m.pyxm"));
    }
    // A shell starts them as close together as it can; four at a time meet more often.
    std::string all = "s=0";
    for (int i = 0; i < 4; ++i) all += std::string("; \"$0\" -q -o out ") + folders[i] + "/m.tmx & p" + std::to_string(i) + "=$!";
    for (int i = 0; i < 4; ++i) all += "; wait $p" + std::to_string(i) + " || s=1";
    all += "; exit $s";
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(run_program("/bin/sh", {"-c", all, converter_path()}, maps.dir.path().string()).status, 0);
        const std::string pair = test_support::read_file(maps.dir.file("out/m.txt")) + test_support::read_file(maps.dir.file("out/m.pyxm"));
        ASSERT_TRUE(pair == pairs[0] || pair == pairs[1]) << "round " << round << ": the outputs of two maps were mixed";
        ASSERT_EQ(files_in(maps.dir.file("out")), 2u);
    }
}

// Standard output full or closed: the report is lost, so the status says so; the outputs
// are written all the same, and never into the closed stream's descriptor.
TEST(CommandLineFailures, AReportThatCannotBeWrittenGivesANonZeroStatus) {
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        MapFolder maps;
        maps.add("two_layers", "m.tmx");
        converter_test::ProcessRun run = run_program("/bin/sh", {"-c", std::string("exec \"$0\" m.tmx ") + redirect, converter_path()},
                                                     maps.dir.path().string());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "brisel42_x9: cannot write the report to standard output\n");
        EXPECT_EQ(test_support::read_file(maps.dir.file("m.txt")), test_support::read_file((golden("two_layers") / "expected.txt").string()));
        EXPECT_EQ(test_support::read_file(maps.dir.file("m.pyxm")), test_support::read_file((golden("two_layers") / "expected.pyxm").string()));
    }
}

}  // namespace

// What a designer gets wrong, said plainly: files that are no map, output folders that
// cannot take the outputs, options placed anywhere.
TEST(CommandLineMessages, NotAMapAndOutputFolderFailuresSayWhy) {
    MapFolder maps;
    const std::string map = maps.add("one_layer", "m.tmx");
    ASSERT_TRUE(test_support::write_file(maps.dir.file("tiles.png"),
                                         std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    ASSERT_TRUE(test_support::write_file(maps.dir.file("notes.tmx"), "shopping list\n"));
    fs::create_directory(maps.dir.file("folder.tmx"));
    converter_test::ProcessRun run =
        run_program(converter_path(), {"tiles.png", "notes.tmx", "folder.tmx"}, maps.dir.path().string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Cannot convert tiles.png: not a map: it is a PNG image\n"
              "Cannot convert notes.tmx: not a map: it is neither XML nor JSON\n"
              "Cannot convert folder.tmx: not a map: it is a folder\n");
    const struct {
        std::string folder, reason;
    } folders[] = {
        {map, "it is a file, not a folder"},
        {map + "/below", "it cannot be created: a part of its path is a file"},
    };
    for (const auto& f : folders) {
        run = run_program(converter_path(), {"-o", f.folder, map});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err,
                  "brisel42_x9: cannot write into the output folder " + f.folder + ": " + f.reason + "\n");
    }
    if (::geteuid() != 0) {  // root writes into a folder without write permission
        fs::create_directory(maps.dir.file("locked"));
        fs::permissions(maps.dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
        run = run_program(converter_path(), {"-o", maps.dir.file("locked"), map});
        EXPECT_NE(run.err.find("it is read-only"), std::string::npos) << run.err;
    }
}

TEST(CommandLineMessages, OptionsComeInAnyOrder) {
    MapFolder maps;
    maps.add("one_layer", "m.tmx");
    converter_test::ProcessRun run =
        run_program(converter_path(), {"m.tmx", "-o", "out", "-q"}, maps.dir.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(fs::exists(maps.dir.file("out/m.pyxm")));
    // --window after another option still asks for the window (here: there is no display).
    run = run_program(converter_path(), {"-q", "--window", "m.tmx"}, maps.dir.path().string(),
                      {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no display to open the window on"), std::string::npos) << run.err;
    run = run_program(converter_path(), {"--to", "a.txt", "m.tmx", "m.tmx"}, maps.dir.path().string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--to names the outputs of one map"), std::string::npos);
}
