// Initialisation as observed effects, each run in a fresh child process: the error log
// of an earlier run is gone, "Init OK" is written, the program's folder is current, the
// global objects exist; a failed window creation stops everything after it.
#include "runtime/screen/startup/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/packed_archive.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/input/input_state.h"
#include "runtime/net/session_state.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"
#include "runtime/sound/sound_slots.h"
#include "support/temp_dir.h"

namespace runtime {
namespace {

// Each failed check exits the child with its own code, named on standard error.
void check(bool ok, int code, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    _exit(code);
}

std::string current_folder() {
    char buffer[4096] = {};
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setenv("TMPDIR", temp_.path().c_str(), 1);
    }
    void TearDown() override { unsetenv("TMPDIR"); }
    // An error log left by an "earlier run".
    void old_log() { ASSERT_TRUE(test_support::write_file(error_log_path(), "old line\r\n")); }
    // Standard output of the child goes to a file it can read back.
    std::string redirect_stdout() {
        const std::string path = temp_.file("stdout.txt");
        check(std::freopen(path.c_str(), "w", stdout) != nullptr, 90, "stdout redirect");
        return path;
    }
    test_support::TempDir temp_;
};

TEST(ProgramFolder, CutBeforeTheLastSeparator) {
    EXPECT_EQ(program_folder_of("/opt/game/bin/game"), "/opt/game/bin");
    EXPECT_EQ(program_folder_of("C:\\games\\x.exe"), "C:\\games");
    EXPECT_EQ(program_folder_of("/a\\b/c"), "/a\\b");
    EXPECT_EQ(program_folder_of("plain"), "plain");
    EXPECT_EQ(program_folder_of("/game"), "");
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram) {
    const std::string folder = program_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(access((folder + "/screen_tests").c_str(), X_OK), 0) << folder;
}

TEST_F(Startup, BringsTheRuntimeUpInOrder) {
    EXPECT_EXIT(
        {
            old_log();
            const std::string out = redirect_stdout();
            chdir("/");
            initialise_runtime("", 1, "brisel42_x9");
            std::fflush(stdout);
            check(test_support::read_file(out) == "Init OK\n", 1, "Init OK on stdout");
            check(current_folder() == program_folder(), 2, "program folder current");
            // Deleted after the window existed: neither the old line nor the software
            // warning of the window's creation is left.
            const std::string log = test_support::read_file(error_log_path());
            check(log.find("old line") == std::string::npos, 3, "old log deleted");
            check(log.find("OpenGL Software Emulation") == std::string::npos, 4,
                  "log deleted after window creation");
            check(rainbows() != nullptr, 5, "2D engine");
            check(input_state() != nullptr && input_state()->started, 6, "input started");
            check(platform::window_title() == "brisel42_x9", 7, "title");
            check(platform::window_shown(), 8, "window shown");
            check(!screen_state().paused && screen_state().auto_pause, 9, "pause state");
            // Generous bound: a loaded machine can take seconds to bring the window up.
            check(elapsed_ms() >= 0 && elapsed_ms() < 20000, 10, "timer base just set");
            check(packed_archive_records().records[0].enabled == 1 ||
                      packed_archive_records().records[0].archive_path.empty(),
                  11, "archive records set");
            check(font_state().current_font == 0, 12, "font 0");
            check(window_state().screen_width == 640 && window_state().screen_height == 480, 13,
                  "screen size");
            check(sound_system() != nullptr && sound_system()->device.started &&
                      sound_system()->device.window == window_state().window,
                  14, "sound started on the window");
            check(rainbows_3d() != nullptr && rainbows_3d()->renderer == rainbows(), 15, "3D scene");
            check(net_session() != nullptr, 18, "network session");
            shut_down_runtime();
            check(net_session() == nullptr, 19, "network session closed");
            check(sound_system() == nullptr && !platform::audio_output_open(), 16,
                  "sound released at the end");
            check(rainbows_3d() == nullptr && rainbows() == nullptr, 17, "engines released");
            std::fprintf(stderr, "startup checks passed\n");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "startup checks passed");
}

TEST_F(Startup, HiddenShowCommandHidesTheWindow) {
    EXPECT_EXIT(
        {
            redirect_stdout();
            initialise_runtime("", 0, "hidden");
            check(!platform::window_shown(), 1, "window hidden");
            check(is_fullscreen_mode() == 0.0, 2, "windowed");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Startup, FullscreenSettingStartsInFullscreen) {
    EXPECT_EXIT(
        {
            redirect_stdout();
            process_state().fullscreen = 1;
            initialise_runtime("", 1, "full");
            check(is_fullscreen_mode() == 1.0, 1, "fullscreen");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Startup, NoWindowStopsTheSequence) {
    EXPECT_EXIT(
        {
            old_log();
            const std::string out = redirect_stdout();
            // The dummy driver has no OpenGL: the window cannot be created.
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            const std::string before = current_folder();
            initialise_runtime("", 1, "no window");
            std::fflush(stdout);
            check(test_support::read_file(out).empty(), 1, "no Init OK");
            check(input_state() == nullptr && net_session() == nullptr, 2, "no input state");
            check(test_support::read_file(error_log_path()) == "old line\r\n", 3, "log untouched");
            check(current_folder() == before, 4, "folder unchanged");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Startup, EscapeEndsTheStartedProgram) {
    EXPECT_EXIT(
        {
            redirect_stdout();
            initialise_runtime("", 1, "brisel42_x9");
            platform::Event e;
            e.kind = platform::EventKind::KEY_DOWN;
            e.scan_code = 1;
            platform::push_event(e);
            show_screen();
            _exit(42);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace runtime
