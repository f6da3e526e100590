// What the outputs do not carry, named once per kind with its count, alike for the three
// readers; the command line prints the lines on standard error, -q hides them.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/conversion.h"
#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

std::string data(const std::string& name) { return converter_test::test_data_folder() + "/" + name; }

const std::vector<std::string> EVERY_KIND = {
    "3 objects in 1 object layer not converted",
    "1 image layer not converted",
    "2 layers have properties, not converted",
    "1 hidden layer: the outputs do not say so (hidden tile layers are converted like visible ones)",
    "the map is isometric, which the outputs do not say (they read as orthogonal)",
    "2 tiles carry flip flags: kept in the .txt, dropped in the .pyxm",
    "1 tile number is above 65535: the .pyxm keeps only the low 16 bits",
    "2 tilesets: the outputs carry only the first one's first tile number",
};

TEST(FeatureWarnings, EachKindIsNamedWithItsCountByEveryReader) {
    const struct {
        const char* map;
        std::vector<std::string> warnings;
    } cases[] = {
        {"warnings/classic_features.tmx", EVERY_KIND},
        {"warnings/editor_features.tmx", EVERY_KIND},
        {"warnings/editor_features.tmj", EVERY_KIND},
        {"warnings/no_tile_layer.tmx",
         {"the map has no tile layer: the outputs hold its header only",
          "1 object in 1 object layer not converted"}},
        {"one_layer/map.tmx", {}},
        {"flip_flags/map.tmx", {"3 tiles carry flip flags: kept in the .txt, dropped in the .pyxm"}},
        {"object_group_between/map.tmx", {"1 object in 1 object layer not converted"}},
        {"json_editor/classic_layout_editor_zlib.tmj", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.map);
        test_support::TempDir out;
        app::ConversionResult result = app::convert_map(data(c.map), out.path().string());
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(result.summary.warnings, c.warnings);
    }
}

TEST(FeatureWarnings, StandardErrorCarriesThemTheStatusStaysZeroAndQuietHidesThem) {
    test_support::TempDir out;
    const std::string map = data("warnings/no_tile_layer.tmx");
    converter_test::ProcessRun run =
        converter_test::run_program(converter_test::converter_path(), {"-o", out.path().string(), map});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "warning: " + map +
                           ": the map has no tile layer: the outputs hold its header only\n"
                           "warning: " +
                           map + ": 1 object in 1 object layer not converted\n");
    run =
        converter_test::run_program(converter_test::converter_path(), {"-q", "-o", out.path().string(), map});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

}  // namespace
