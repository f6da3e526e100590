// The file requester end to end: scripted dialog programs in place of a desktop, and
// the built-in browser driven by synthetic keys and clicks.
#include "runtime/screen/os/os_file_requester.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "os_fixture.h"
#include "runtime/input/key_codes.h"
#include "runtime/platform/dialogs.h"
#include "runtime/platform/window.h"
#include "runtime/screen/os/os_file_browser.h"
#include "runtime/screen/screen_state.h"

namespace runtime::os_test {
namespace {

const DynString TMX_FILTER("TMX|*.tmx|All|*.*");

std::string text(const DynString& s) { return s.text_of(); }

TEST(FileFilter, PairsFromBars) {
    FilterPairs pairs;
    ASSERT_TRUE(parse_file_filter("TMX|*.tmx|All|*.*", pairs));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], std::make_pair(std::string("TMX"), std::string("*.tmx")));
    EXPECT_EQ(pairs[1], std::make_pair(std::string("All"), std::string("*.*")));
    ASSERT_TRUE(parse_file_filter("Maps|*.tmx", pairs));
    EXPECT_EQ(pairs.size(), 1u);
    ASSERT_TRUE(parse_file_filter("Everything", pairs));
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].second, "");
    ASSERT_TRUE(parse_file_filter("TMX|*.tmx|", pairs));
    EXPECT_EQ(pairs.size(), 1u);
    ASSERT_TRUE(parse_file_filter("", pairs));
    EXPECT_TRUE(pairs.empty());
}

TEST(FileFilter, TooLongForTheBufferIsRefused) {
    FilterPairs pairs;
    const std::string fits(1022, 'a');
    EXPECT_TRUE(parse_file_filter(fits.c_str(), pairs));
    const std::string too_long(1023, 'a');
    EXPECT_FALSE(parse_file_filter(too_long.c_str(), pairs));
}

TEST(FileBrowserListing, FoldersFirstThenMatchingFiles) {
    test_support::TempDir dir;
    std::filesystem::create_directory(dir.path() / "zeta");
    std::filesystem::create_directory(dir.path() / "alpha");
    test_support::write_file(dir.file("b.TMX"), "x");
    test_support::write_file(dir.file("a.tmx"), "x");
    test_support::write_file(dir.file("c.txt"), "x");
    test_support::write_file(dir.file(".hidden.tmx"), "x");
    const auto entries = list_folder(dir.path().string(), "*.tmx");
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"..", "alpha", "zeta", "a.tmx", "b.TMX"}));
    EXPECT_TRUE(entries[1].folder);
    EXPECT_FALSE(entries[3].folder);
    EXPECT_EQ(list_folder(dir.path().string(), "*.*").size(), 6u);
}

TEST(FileBrowserListing, PatternLists) {
    EXPECT_TRUE(matches_patterns("map.tmx", "*.tmx"));
    EXPECT_TRUE(matches_patterns("MAP.TMX", "*.tmx"));
    EXPECT_TRUE(matches_patterns("noext", "*.*"));
    EXPECT_TRUE(matches_patterns("a.png", "*.bmp; *.png"));
    EXPECT_FALSE(matches_patterns("a.jpg", "*.bmp;*.png"));
    EXPECT_TRUE(matches_patterns("anything", ""));
}

TEST(DialogArguments, ZenityGetsTheFilterPairs) {
    platform::FileDialogRequest request;
    request.filters = {{"TMX", "*.tmx"}, {"All", "*.*"}, {"Pictures", "*.bmp;*.png"}};
    request.folder = "/home/user/maps";
    auto args = platform::zenity_arguments("zenity", request);
    EXPECT_EQ(args, (std::vector<std::string>{"zenity", "--file-selection", "--filename=/home/user/maps/",
                                              "--file-filter=TMX | *.tmx", "--file-filter=All | *",
                                              "--file-filter=Pictures | *.bmp *.png"}));
    request.open = false;
    args = platform::zenity_arguments("zenity", request);
    EXPECT_EQ(args[2], "--save");
    EXPECT_EQ(args[3], "--confirm-overwrite");
}

TEST(DialogArguments, KdialogGetsPatternsFirst) {
    platform::FileDialogRequest request;
    request.filters = {{"TMX", "*.tmx"}, {"All", "*.*"}};
    request.folder = "/maps";
    const auto args = platform::kdialog_arguments("kdialog", request);
    EXPECT_EQ(args, (std::vector<std::string>{"kdialog", "--getopenfilename", "/maps/", "*.tmx|TMX\n*|All"}));
}

class ScriptedDialog : public OsRuntime {
protected:
    // A dialog program that records its arguments and answers with `answer`.
    std::string make_dialog(const std::string& file_name, const std::string& answer, int code) {
        const std::string path = temp_.file(file_name);
        args_file_ = temp_.file("dialog-args.txt");
        const std::string script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                   args_file_ + "'\nprintf '%s\\n' '" + answer + "'\nexit " +
                                   std::to_string(code) + "\n";
        EXPECT_TRUE(test_support::write_file(path, script));
        EXPECT_EQ(chmod(path.c_str(), 0755), 0);
        setenv("RUNTIME_FILE_DIALOG", path.c_str(), 1);
        return path;
    }
    std::string dialog_args() const { return test_support::read_file(args_file_); }
    std::string args_file_;
};

TEST_F(ScriptedDialog, TheAnswerIsTheResult) {
    make_dialog("pick", "/data/maps/level1.tmx", 0);
    const std::string before = folder();
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "/data/maps/level1.tmx");
    EXPECT_EQ(dialog_args(), "--file-selection\n--filename=" + before +
                                 "/\n--file-filter=TMX | *.tmx\n--file-filter=All | *\n");
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(platform::window_shown());  // brought back after the dialog
}

TEST_F(ScriptedDialog, BackslashesComeBackAsSlashes) {
    make_dialog("pick", "C:\\maps\\a.tmx", 0);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "C:/maps/a.tmx");
}

TEST_F(ScriptedDialog, CancelGivesNoFile) {
    make_dialog("pick", "", 1);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "NO_FILE");
    EXPECT_EQ(frames_, 0);  // the built-in browser did not run
}

TEST_F(ScriptedDialog, SaveDialogAsksToSave) {
    make_dialog("pick", "/data/out.tmx", 0);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 0)), "/data/out.tmx");
    EXPECT_NE(dialog_args().find("--save\n"), std::string::npos);
}

TEST_F(ScriptedDialog, KdialogIsSpokenToInItsOwnWay) {
    make_dialog("kdialog", "/data/k.tmx", 0);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "/data/k.tmx");
    EXPECT_EQ(dialog_args(), "--getopenfilename\n" + folder() + "/\n*.tmx|TMX\n*|All\n");
}

TEST_F(ScriptedDialog, AnOverlongAnswerIsNoFile) {
    make_dialog("pick", "/" + std::string(1100, 'a'), 0);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "NO_FILE");
}

TEST_F(ScriptedDialog, AnOverlongFilterShowsNoDialog) {
    make_dialog("pick", "/data/x.tmx", 0);
    EXPECT_EQ(text(file_requester(DynString(std::string(1500, 'x').c_str()), 1)), "NO_FILE");
    EXPECT_FALSE(std::filesystem::exists(args_file_));
}

TEST_F(ScriptedDialog, AFailingDialogProgramFallsBackToTheBrowser) {
    make_dialog("pick", "", 3);
    tap(KEY_ESCAPE);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "NO_FILE");
    EXPECT_GT(frames_, 0);
    EXPECT_TRUE(std::filesystem::exists(args_file_));
}

class BuiltinBrowser : public OsRuntime {
protected:
    void SetUp() override {
        OsRuntime::SetUp();
        setenv("RUNTIME_FILE_DIALOG", "builtin", 1);
        // A folder of its own: the temporary folder also receives the error log.
        const auto browse = temp_.path() / "browse";
        std::filesystem::create_directories(browse / "sub");
        test_support::write_file((browse / "a.tmx").string(), "<map/>");
        test_support::write_file((browse / "b.txt").string(), "text");
        test_support::write_file((browse / "sub" / "c.tmx").string(), "<map/>");
        ASSERT_EQ(chdir(browse.c_str()), 0);
        base_ = folder();
    }
    std::string base_;
};

TEST_F(BuiltinBrowser, ChoosesAFileWithTheArrowKeys) {
    // Entries: "..", "sub", "a.tmx" (b.txt is not a TMX file).
    tap(KEY_DOWN);
    tap(KEY_DOWN);
    tap(KEY_RETURN);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/a.tmx");
    EXPECT_EQ(folder(), base_);
}

TEST_F(BuiltinBrowser, BrowsingIntoAFolderLeavesTheCurrentFolderAsItWas) {
    tap(KEY_DOWN);    // sub
    tap(KEY_RETURN);  // into sub: "..", "c.tmx"
    tap(KEY_DOWN);
    tap(KEY_RETURN);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/sub/c.tmx");
    EXPECT_EQ(folder(), base_);
}

TEST_F(BuiltinBrowser, EscapeCancelsWithoutEndingTheProgram) {
    tap(KEY_ESCAPE);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), "NO_FILE");
    EXPECT_TRUE(screen_state().escape_ends_program);
}

TEST_F(BuiltinBrowser, TabShowsTheNextPattern) {
    tap(KEY_TAB);  // All: "..", "sub", "a.tmx", "b.txt"
    tap(KEY_DOWN);
    tap(KEY_DOWN);
    tap(KEY_DOWN);
    tap(KEY_RETURN);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/b.txt");
}

TEST_F(BuiltinBrowser, SaveModeTakesATypedName) {
    tap(KEY_N);
    tap(KEY_E);
    tap(KEY_W);
    tap(KEY_PERIOD);
    tap(KEY_W);
    tap(KEY_BACKSPACE);
    tap(KEY_T);
    tap(KEY_RETURN);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 0)), base_ + "/new.t");
}

TEST_F(BuiltinBrowser, KeysPressedAndReleasedBetweenFramesAllCount) {
    quick_taps({{KEY_DOWN, ""}, {KEY_DOWN, ""}, {KEY_RETURN, ""}});
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/a.tmx");
    steps_.clear();
    next_step_ = 0;
    quick_taps({{49, "N"}, {2, "!"}, {12, "_"}, {KEY_BACKSPACE, ""}, {12, "_"}, {20, "t"}, {KEY_RETURN, ""}});
    EXPECT_EQ(text(file_requester(TMX_FILTER, 0)), base_ + "/N!_t");
}

TEST_F(BuiltinBrowser, AClickSelectsAndASecondClickOpens) {
    // Built-in font: 8-pixel rows, the list starts at row 4; "a.tmx" is entry 2.
    const int y = (4 + 2) * 8 + 3;
    idle(2);
    click(20, y);
    click(20, y);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/a.tmx");
}

TEST_F(BuiltinBrowser, BackspaceGoesUpAFolder) {
    ASSERT_EQ(chdir("sub"), 0);
    tap(KEY_BACKSPACE);  // back in the base folder: "..", "sub", "a.tmx"
    tap(KEY_DOWN);
    tap(KEY_DOWN);
    tap(KEY_RETURN);
    EXPECT_EQ(text(file_requester(TMX_FILTER, 1)), base_ + "/a.tmx");
    EXPECT_EQ(folder(), base_ + "/sub");
}

}  // namespace
}  // namespace runtime::os_test
