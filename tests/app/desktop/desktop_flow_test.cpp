// The desktop flow headless: a scripted dialog program answers the open dialog, synthetic
// key events answer the report, all inside a child process that runs the runtime's entry.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/desktop/converter_main.h"
#include "app/desktop/window_maps.h"
#include "converter_process.h"
#include "runtime/platform/events.h"
#include "runtime/runtime.h"
#include "runtime/screen/startup/startup.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path golden(const std::string& name) { return fs::path(converter_test::test_data_folder()) / name; }

// A dialog program in the zenity manner that hands out the lines of answers.txt one per
// call and reports a cancel when they run out; every call is logged, with the folder it
// was started in (where.log).
std::string write_dialog_script(const test_support::TempDir& dir, const std::vector<std::string>& answers) {
    std::string list;
    for (const std::string& a : answers) list += a + "\n";
    EXPECT_TRUE(test_support::write_file(dir.file("answers.txt"), list));
    std::string script = dir.file("dialog.sh");
    EXPECT_TRUE(test_support::write_file(script,
                                         "#!/bin/sh\n"
                                         "pwd -P >> '" +
                                             dir.file("where.log") +
                                             "'\n"
                                             "cd '" +
                                             dir.path().string() +
                                             "' || exit 2\n"
                                             "echo call >> calls.log\n"
                                             "n=$(wc -l < calls.log)\n"
                                             "answer=$(sed -n \"${n}p\" answers.txt)\n"
                                             "[ -n \"$answer\" ] || exit 1\n"
                                             "echo \"$answer\"\n"));
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

void push_key(int code, bool down) {
    runtime::platform::Event e;
    e.kind = down ? runtime::platform::EventKind::KEY_DOWN : runtime::platform::EventKind::KEY_UP;
    e.scan_code = code;
    runtime::platform::push_event(e);
}

bool wait_for(const std::string& path) {
    for (int i = 0; i < 3000 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

// Runs the program's desktop entry with the keys a user would press once each report is up.
// `window` names maps for the window mode, relative to `folder`.
[[noreturn]] void run_desktop(const std::string& dialog,
                              std::vector<std::pair<std::string, std::vector<std::pair<int, bool>>>> steps,
                              const std::vector<std::string>& window = {}, const std::string& folder = "") {
    setenv("RUNTIME_FILE_DIALOG", dialog.c_str(), 1);
    if (!folder.empty()) fs::current_path(folder);
    app::queue_window_maps(window);
    std::thread user([steps] {
        for (const auto& [shown_when, keys] : steps) {
            if (!wait_for(shown_when)) _exit(3);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            for (const auto& [code, down] : keys) push_key(code, down);
        }
    });
    user.detach();
    // The end leaves without exit handlers: the GL driver's own allocations would otherwise
    // read as leaks in the sanitizer build.
    runtime::lifecycle_seams().exit_process = [](int status) {
        std::fflush(nullptr);
        _exit(status);
    };
    const char* argv[] = {"brisel42_x9", nullptr};
    _exit(runtime::program_entry(1, argv, runtime::initialise_runtime, app::converter_main));
}

TEST(DesktopFlow, ReturnGivesTheNextFileAndAnotherKeyTheEnd) {
    test_support::TempDir dir;
    fs::copy_file(golden("two_layers") / "map.tmx", dir.file("first.tmx"));
    fs::copy_file(golden("one_layer") / "map.tmx", dir.file("second.tmx"));
    std::string dialog = write_dialog_script(dir, {dir.file("first.tmx"), dir.file("second.tmx")});
    EXPECT_EXIT(run_desktop(dialog, {{dir.file("first.pyxm"), {{runtime::KEY_RETURN, true}}},
                                     {dir.file("second.pyxm"),
                                      {{runtime::KEY_RETURN, false}, {runtime::KEY_A, true}}}}),
                ::testing::ExitedWithCode(0), "");
    // Two dialogs, two conversions; the second has its own layer count.
    EXPECT_EQ(test_support::read_file(dir.file("calls.log")), "call\ncall\n");
    EXPECT_EQ(test_support::read_file(dir.file("first.pyxm")),
              test_support::read_file((golden("two_layers") / "expected.pyxm").string()));
    EXPECT_EQ(test_support::read_file(dir.file("second.txt")),
              test_support::read_file((golden("one_layer") / "expected.txt").string()));
    EXPECT_EQ(test_support::read_file(dir.file("second.pyxm")),
              test_support::read_file((golden("one_layer") / "expected.pyxm").string()));
}

TEST(WindowMaps, QueuedMapsComeFirstAsAbsolutePathsThenTheDialog) {
    test_support::TempDir dir;
    const fs::path started_in = fs::current_path();
    fs::current_path(dir.path());
    app::window_maps() = app::WindowMaps{};
    app::queue_window_maps({"./maps/../b.tmx", "", "maps/a.tmx"});
    fs::current_path(started_in);
    fs::create_directories(dir.path() / "maps" / "maps");
    // A relative answer names a file of the folder the dialog was opened in.
    setenv("RUNTIME_FILE_DIALOG", write_dialog_script(dir, {"maps/c.tmx"}).c_str(), 1);
    EXPECT_EQ(app::next_map_to_convert(), dir.file("b.tmx"));
    EXPECT_EQ(app::next_map_to_convert(), dir.file("maps/a.tmx"));
    EXPECT_FALSE(fs::exists(dir.file("calls.log")));
    EXPECT_EQ(app::next_map_to_convert(), dir.file("maps/maps/c.tmx"));
    EXPECT_EQ(app::next_map_to_convert(), "");  // the dialog cancelled
    unsetenv("RUNTIME_FILE_DIALOG");
    EXPECT_EQ(test_support::read_file(dir.file("calls.log")), "call\ncall\n");
    // Opened beside the last map each time; the program's own folder is left as it was.
    const std::string maps = fs::canonical(dir.path() / "maps").string();
    EXPECT_EQ(test_support::read_file(dir.file("where.log")), maps + "\n" + maps + "/maps\n");
    EXPECT_EQ(fs::current_path(), started_in);
}

TEST(DesktopFlow, AWindowMapIsReportedThenReturnOpensTheDialog) {
    test_support::TempDir dir;
    fs::create_directories(dir.path() / "maps");
    fs::copy_file(golden("two_layers") / "map.tmx", dir.file("maps/first.tmx"));
    fs::copy_file(golden("one_layer") / "map.tmx", dir.file("second.tmx"));
    std::string dialog = write_dialog_script(dir, {dir.file("second.tmx")});
    // Given relative to the folder the program starts in, which start-up leaves.
    EXPECT_EXIT(
        run_desktop(dialog,
                    {{dir.file("maps/first.pyxm"), {{runtime::KEY_RETURN, true}}},
                     {dir.file("second.pyxm"), {{runtime::KEY_RETURN, false}, {runtime::KEY_A, true}}}},
                    {"maps/first.tmx"}, dir.path().string()),
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test_support::read_file(dir.file("calls.log")), "call\n");
    EXPECT_EQ(test_support::read_file(dir.file("where.log")),
              fs::canonical(dir.path() / "maps").string() + "\n");
    EXPECT_EQ(test_support::read_file(dir.file("maps/first.pyxm")),
              test_support::read_file((golden("two_layers") / "expected.pyxm").string()));
    EXPECT_EQ(test_support::read_file(dir.file("second.txt")),
              test_support::read_file((golden("one_layer") / "expected.txt").string()));
}

TEST(DesktopFlow, AnyOtherKeyAfterAWindowMapEndsWithoutTheDialog) {
    test_support::TempDir dir;
    fs::copy_file(golden("one_layer") / "map.tmx", dir.file("only.tmx"));
    std::string dialog = write_dialog_script(dir, {});
    EXPECT_EXIT(run_desktop(dialog, {{dir.file("only.pyxm"), {{runtime::KEY_A, true}}}},
                            {dir.file("only.tmx"), dir.file("never.tmx")}),
                ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(dir.file("calls.log")));
}

TEST(DesktopFlow, ACancelledDialogEndsTheProgram) {
    test_support::TempDir dir;
    std::string dialog = write_dialog_script(dir, {});
    EXPECT_EXIT(run_desktop(dialog, {}), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test_support::read_file(dir.file("calls.log")), "call\n");
}

TEST(DesktopFlow, ARefusedMapIsReportedWithTheSameChoice) {
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("broken.tmx"), "<?xml version=\"1.0\"?>\n<map>\n"));
    fs::copy_file(golden("one_layer") / "map.tmx", dir.file("after.tmx"));
    std::string dialog = write_dialog_script(dir, {dir.file("broken.tmx"), dir.file("after.tmx")});
    EXPECT_EXIT(run_desktop(dialog, {{dir.file("calls.log"), {}},
                                     {dir.file("broken.tmx"), {{runtime::KEY_RETURN, true}}},
                                     {dir.file("after.pyxm"),
                                      {{runtime::KEY_RETURN, false}, {runtime::KEY_A, true}}}}),
                ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(dir.file("broken.txt")));
    EXPECT_TRUE(fs::exists(dir.file("after.pyxm")));
    EXPECT_EQ(test_support::read_file(dir.file("calls.log")), "call\ncall\n");
}

TEST(DesktopReport, RefusalsAndWarningsBecomeLinesThatFitTheScreen) {
    app::ConversionResult refused;
    refused.reason = std::string(200, 'x') + " and more words to wrap at a blank somewhere";
    std::vector<std::string> lines = app::report_lines("/maps/broken.tmx", refused);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Cannot convert broken.tmx: ", 0), 0u);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 76u);

    app::ConversionResult done;
    done.ok = true;
    done.outputs = app::derive_output_names("/maps/level.tmx");
    done.summary.reader = "classic layout";
    done.summary.width = 3;
    done.summary.layers = 2;
    done.summary.warnings.push_back("layer \"Ground\" is stored as csv; its tiles were not converted");
    lines = app::report_lines("/maps/level.tmx", done, "map 2 of 3");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "map 2 of 3");
    EXPECT_EQ(lines[1], "level.tmx -> level.txt, level.pyxm");
    EXPECT_NE(lines[2].find("2 layers"), std::string::npos);
    EXPECT_EQ(lines[3], "Output folder: /maps");
    EXPECT_EQ(lines[4], "warning: layer \"Ground\" is stored as csv; its tiles were not converted");
}

// The report screen drawn for a real conversion and read back: the logo and the texts
// leave pixels in their places. CONVERTER_SCREENSHOT names a copy to keep (the docs).
[[noreturn]] void draw_and_save_report(const std::string& map, const std::string& image) {
    runtime::initialise_runtime("", 1, "brisel42_x9");
    runtime::load_sprite(app::LOGO_FILE, 0);
    app::ConversionResult result = app::convert_map(map);
    app::draw_report(map, result);
    bool saved = runtime::save_screen_image(image.c_str()) != 0;
    if (const char* keep = std::getenv("CONVERTER_SCREENSHOT")) runtime::save_screen_image(keep);
    _exit(saved && result.ok ? 0 : 1);
}

TEST(DesktopReport, TheReportScreenCanBeSaved) {
    test_support::TempDir dir;
    fs::copy_file(golden("two_layers") / "map.tmx", dir.file("village.tmx"));
    EXPECT_EXIT(draw_and_save_report(dir.file("village.tmx"), dir.file("report.png")),
                ::testing::ExitedWithCode(0), "");
    std::string png = test_support::read_file(dir.file("report.png"));
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace

// A file at an output name that the converter did not write: the desktop flow asks; Y
// replaces it, any other key keeps it and the report says why the map was not converted.
TEST(DesktopFlow, AFileTheConverterDidNotWriteIsReplacedOnlyAfterY) {
    for (const int answer : {runtime::KEY_Y, runtime::KEY_N}) {
        SCOPED_TRACE(answer);
        test_support::TempDir dir;
        fs::copy_file(golden("two_layers") / "map.tmx", dir.file("first.tmx"));
        fs::copy_file(golden("one_layer") / "map.tmx", dir.file("level.tmx"));
        ASSERT_TRUE(test_support::write_file(dir.file("level.txt"), "my notes\n"));
        std::string dialog = write_dialog_script(dir, {});
        // The first map's report is known by its output; Return gives the question, then the
        // answer (keys wait in the queue until the program reads them), then the report.
        const std::string first = dir.file("first.pyxm");
        const std::string level_report = answer == runtime::KEY_Y ? dir.file("level.pyxm") : first;
        EXPECT_EXIT(run_desktop(dialog,
                                {{first, {{runtime::KEY_RETURN, true}}},
                                 {first, {{runtime::KEY_RETURN, false}, {answer, true}}},
                                 {level_report, {{answer, false}, {runtime::KEY_A, true}}}},
                                {dir.file("first.tmx"), dir.file("level.tmx")}),
                    ::testing::ExitedWithCode(0), "");
        if (answer == runtime::KEY_Y) {
            EXPECT_EQ(test_support::read_file(dir.file("level.txt")),
                      test_support::read_file((golden("one_layer") / "expected.txt").string()));
        } else {
            EXPECT_EQ(test_support::read_file(dir.file("level.txt")), "my notes\n");
            EXPECT_FALSE(fs::exists(dir.file("level.pyxm")));
        }
        EXPECT_FALSE(fs::exists(dir.file("calls.log")));
    }
}

TEST(DesktopReport, TheQuestionNamesTheFileAndTheKeys) {
    std::vector<std::string> lines = app::replace_question_lines("/maps/level.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "/maps/level.txt exists, and brisel42_x9 did not write it.");
    EXPECT_NE(lines[1].find("Press Y to replace it"), std::string::npos);
}
