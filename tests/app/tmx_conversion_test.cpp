// Maps in every form through the whole conversion: the classic form and every other form
// of the same map give byte-identical ".txt" and ".pyxm" files; refused maps leave nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/conversion.h"
#include "converter_process.h"
#include "support/temp_dir.h"
#include "tmx_test_support.h"

using tmx_test::data_path;

namespace {

struct Converted {
    std::string text, binary, reader;
};

Converted convert_copy(const std::string& source, const test_support::TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name + ".tmx");
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
    const app::ConversionResult result = app::convert_map(path);
    EXPECT_TRUE(result.ok) << source << ": " << result.reason;
    return {test_support::read_file(dir.file(name + ".txt")), test_support::read_file(dir.file(name + ".pyxm")),
            result.summary.reader};
}

size_t count_files(const test_support::TempDir& dir) {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()));
}

}  // namespace

TEST(ElementNamesConversion, EveryFormGivesTheClassicFormsOutputs) {
    test_support::TempDir dir;
    const Converted classic = convert_copy(data_path("tmx_variants/classic.tmx"), dir, "classic");
    EXPECT_EQ(classic.reader, "classic layout");
    // 4 size words, the layer count, 2 x 20 gids.
    ASSERT_EQ(classic.binary.size(), 2u * (4 + 1 + 40));
    size_t index = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data_path("tmx_variants"))) {
        if (entry.path().extension() != ".tmx") continue;
        const std::string name = "v" + std::to_string(index++);
        const Converted form = convert_copy(entry.path().string(), dir, name);
        EXPECT_EQ(form.binary, classic.binary) << entry.path();
        EXPECT_EQ(form.text, classic.text) << entry.path();
        const bool classic_form = entry.path().filename().string().rfind("classic", 0) == 0;
        EXPECT_EQ(form.reader, classic_form ? "classic layout" : "read by element names") << entry.path();
    }
    EXPECT_GE(index, 20u);
}

TEST(ElementNamesConversion, EditorResavesGiveTheClassicFormsBinary) {
    test_support::TempDir dir;
    for (const std::string source : {"classic_layout", "own_classic"}) {
        const Converted classic = convert_copy(data_path("tmx_editor/" + source + ".tmx"), dir, source);
        EXPECT_EQ(classic.reader, "classic layout");
        for (const char* format : {"xml", "csv", "b64", "zlib", "gzip", "zstd"}) {
            const std::string name = source + "_" + format;
            const Converted form =
                convert_copy(data_path("tmx_editor/" + source + "_editor_" + format + ".tmx"), dir, name);
            EXPECT_EQ(form.binary, classic.binary) << name;
            EXPECT_EQ(form.reader, "read by element names") << name;
        }
    }
}

TEST(ElementNamesConversion, RefusedMapsLeaveNoOutput) {
    for (const auto& entry : std::filesystem::directory_iterator(data_path("tmx_refused"))) {
        if (entry.path().extension() != ".tmx") continue;
        test_support::TempDir dir;
        const std::string path = dir.file("map.tmx");
        std::filesystem::copy_file(entry.path(), path);
        const std::string before = test_support::read_file(path);
        const app::ConversionResult result = app::convert_map(path);
        EXPECT_FALSE(result.ok) << entry.path();
        EXPECT_FALSE(result.reason.empty()) << entry.path();
        EXPECT_EQ(count_files(dir), 1u) << entry.path();
        EXPECT_EQ(test_support::read_file(path), before) << entry.path();
    }
}

TEST(ElementNamesConversion, CommandLineNamesTheReader) {
    test_support::TempDir dir;
    std::filesystem::copy_file(data_path("tmx_variants/base64_zstd.tmx"), dir.file("zstd.tmx"));
    std::filesystem::copy_file(data_path("tmx_variants/classic.tmx"), dir.file("classic.tmx"));
    std::filesystem::copy_file(data_path("tmx_refused/infinite.tmx"), dir.file("infinite.tmx"));
    const converter_test::ProcessRun run = converter_test::run_program(
        converter_test::converter_path(), {dir.file("zstd.tmx"), dir.file("classic.tmx"), dir.file("infinite.tmx")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("read by element names"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("classic layout"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("has fewer tiles than the map has cells"), std::string::npos) << run.err;
    EXPECT_EQ(test_support::read_file(dir.file("zstd.pyxm")), test_support::read_file(dir.file("classic.pyxm")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("infinite.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("infinite.pyxm")));
}
