// The map editor's export format through the real editor, run headless: the extension is
// installed by the converter's own --install-editor-extension into a private config folder.
#include "app/editor_extension.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::ProcessRun;
using converter_test::run_program;
using test_support::read_file;

std::string data(const std::string& name) { return converter_test::test_data_folder() + "/" + name; }

// The editor's program, or empty when it is not installed.
std::string editor_program() {
    ProcessRun found = run_program("/bin/sh", {"-c", "command -v tiled"});
    while (!found.out.empty() && found.out.back() == '\n') found.out.pop_back();
    return found.status == 0 ? found.out : "";
}
bool editor_installed() { return !editor_program().empty(); }

// The editor with the extension installed in `config`, finding the built converter first.
class Editor {
public:
    explicit Editor(const test_support::TempDir& dir) : config_(dir.file("config")) {
        const char* path = std::getenv("PATH");
        env_ = {"XDG_CONFIG_HOME=" + config_, "HOME=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen",
                "PATH=" + fs::path(converter_path()).parent_path().string() + ":" +
                    (path != nullptr ? path : "/usr/bin:/bin")};
        installed_ = run_program(converter_path(), {"--install-editor-extension"}, "", env_);
    }
    ProcessRun export_map(const std::string& format, const std::string& map,
                          const std::string& target) const {
        return run_program(editor_program(), {"--export-map", format, map, target}, "", env_);
    }
    const ProcessRun& installed() const { return installed_; }
    std::string extension_file() const { return config_ + "/tiled/extensions/" + app::EDITOR_EXTENSION_NAME; }

private:
    std::string config_;
    std::vector<std::string> env_;
    ProcessRun installed_;
};

TEST(EditorExtension, InstalledCopyIsThePackagedFile) {
    test_support::TempDir dir;
    Editor editor(dir);
    ASSERT_EQ(editor.installed().status, 0) << editor.installed().err;
    EXPECT_NE(editor.installed().out.find(editor.extension_file()), std::string::npos);
    EXPECT_EQ(read_file(editor.extension_file()), read_file(data("../../../packaging/tiled/brisel42_x9.js")));
}

// The editor's command-line export gives the map no file name, so the extension converts
// the editor's own TMX writing of it: the binary is the map's, the text that of the editor's
// TMX file (its header) as the command line converts it.
TEST(EditorExtension, ExportsWhatTheCommandLineWritesForEveryLayerFormat) {
    if (!editor_installed()) GTEST_SKIP() << "the map editor (tiled) is not installed";
    test_support::TempDir dir;
    Editor editor(dir);
    ASSERT_EQ(editor.installed().status, 0) << editor.installed().err;
    fs::create_directories(dir.path() / "out");
    for (const char* map :
         {"tmx_editor/classic_layout_editor_xml.tmx", "tmx_editor/classic_layout_editor_csv.tmx",
          "tmx_editor/classic_layout_editor_zlib.tmx", "json_editor/classic_layout_editor_array.tmj"}) {
        SCOPED_TRACE(map);
        const std::string name = fs::path(map).stem().string();
        const std::string exported = dir.file("out/" + name + ".txt");
        ProcessRun run = editor.export_map("brisel42_x9", data(map), exported);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(editor.export_map("tmx", data(map), dir.file(name + ".editor.tmx")).status, 0);
        ASSERT_EQ(run_program(converter_path(),
                              {"-q", "--to", dir.file(name + ".editor.txt"), dir.file(name + ".editor.tmx")})
                      .status,
                  0);
        ASSERT_EQ(run_program(converter_path(), {"-q", "--to", dir.file(name + ".txt"), data(map)}).status,
                  0);
        EXPECT_EQ(read_file(exported), read_file(dir.file(name + ".editor.txt")));
        EXPECT_EQ(read_file(dir.file("out/" + name + ".pyxm")), read_file(dir.file(name + ".pyxm")));
        EXPECT_GT(read_file(exported).size(), 10000u);
    }
    // Nothing left of the private temporary copies.
    EXPECT_EQ(
        run_program("/bin/sh", {"-c", "ls -d \"${TMPDIR:-/tmp}\"/brisel42_x9-editor.* 2>/dev/null"}).out, "");
}

TEST(EditorExtension, ARefusalFailsTheExportAndKeepsTheDesignersFile) {
    if (!editor_installed()) GTEST_SKIP() << "the map editor (tiled) is not installed";
    test_support::TempDir dir;
    Editor editor(dir);
    ASSERT_TRUE(test_support::write_file(dir.file("level.txt"), "my notes\n"));
    ProcessRun run = editor.export_map("brisel42_x9", data("tmx_editor/classic_layout_editor_csv.tmx"),
                                       dir.file("level.txt"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("level.txt exists and was not written by brisel42_x9"), std::string::npos)
        << run.err;
    EXPECT_EQ(read_file(dir.file("level.txt")), "my notes\n");
    EXPECT_FALSE(fs::exists(dir.file("level.pyxm")));
}

}  // namespace
