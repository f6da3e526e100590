// The program's ends, the stop record, the shut-down order, the entry and the
// command-line tail. Ends that leave the process are checked as real process exits.
#include "runtime/core/lifecycle.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/error_log.h"
#include "support/temp_dir.h"

using runtime::DynString;
using runtime::ShutdownStep;

namespace {

// Thrown by the replaced process exit so an end can be watched in-process.
struct ProcessExit {
    int status;
};

constexpr ShutdownStep ALL_STEPS[] = {
    ShutdownStep::TIMER_RESOLUTION, ShutdownStep::WINDOW_TIMER,    ShutdownStep::VIDEO_WINDOW,
    ShutdownStep::ENGINE_2D,        ShutdownStep::INPUT,           ShutdownStep::SOUND,
    ShutdownStep::NETWORK,          ShutdownStep::PACKED_ARCHIVES, ShutdownStep::MAIN_WINDOW,
    ShutdownStep::EXIT_CLEANUP,
};

std::vector<int>& ran_steps() {
    static std::vector<int> steps;
    return steps;
}

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");
        const char* old = std::getenv("TMPDIR");
        had_tmpdir_ = old != nullptr;
        if (had_tmpdir_) old_tmpdir_ = old;
        setenv("TMPDIR", dir_.path().c_str(), 1);
        reset();
    }
    void TearDown() override {
        reset();
        runtime::lifecycle_seams() = saved_seams_;
        if (had_tmpdir_)
            setenv("TMPDIR", old_tmpdir_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    void reset() {
        runtime::process_state() = runtime::ProcessState{};
        for (ShutdownStep step : ALL_STEPS) runtime::register_shutdown_step(step, nullptr);
        ran_steps().clear();
    }
    // Replaces the process exit by an exception carrying the status.
    void watch_exit() {
        runtime::lifecycle_seams().exit_process = [](int status) { throw ProcessExit{status}; };
    }
    template <class F>
    int exit_status_of(F end) {
        try {
            end();
        } catch (const ProcessExit& e) {
            return e.status;
        }
        ADD_FAILURE() << "the end returned";
        return -1;
    }
    std::string log_text() const { return test_support::read_file(runtime::error_log_path()); }
    bool log_exists() const { return std::filesystem::exists(runtime::error_log_path()); }

    test_support::TempDir dir_;
    runtime::LifecycleSeams saved_seams_ = runtime::lifecycle_seams();
    bool had_tmpdir_ = false;
    std::string old_tmpdir_;
};

using LifecycleDeathTest = Lifecycle;

void application_sets_line() { runtime::mark_source_line(4, 12); }

void initialise_checks(const char* command_text, int show_command, const char* title) {
    auto& state = runtime::process_state();
    EXPECT_STREQ(command_text, "alpha beta");
    EXPECT_EQ(show_command, 10);
    EXPECT_STREQ(title, "brisel42_x9");
    EXPECT_GE(state.command_line_text.capacity, 257u);  // writable with room for 256 characters
    EXPECT_EQ(state.screen_width, 640);
    state.stop_code = 5;  // reset after initialisation
    state.stop_line = 6;
    state.current_line = 7;
    state.current_context = 8;
}

}  // namespace

TEST(CommandLineTail, Examples) {
    struct Case {
        const char* full;
        const char* tail;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\conv.exe\"", ""},
        {"\"C:\\Program Files\\conv.exe\"  alpha beta", "alpha beta"},
        {"conv.exe\tsome text", "some text"},
        {"conv.exe", ""},
        {"  \t conv.exe   x  ", "x  "},
        {"\"unclosed quote and more", ""},
        {"\"\"x", "x"},
        {"", ""},
        {"prog \"quoted arg\" b", "\"quoted arg\" b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runtime::find_command_line_tail(c.full), c.tail) << c.full;
}

TEST(CommandLineTail, BuiltFromArgv) {
    const char* argv[] = {"/opt/my tools/conv", "alpha", "two words", "tab\there", ""};
    std::string line = runtime::build_command_line(5, argv);
    EXPECT_EQ(line, "\"/opt/my tools/conv\" alpha \"two words\" \"tab\there\" \"\"");
    EXPECT_EQ(runtime::find_command_line_tail(line), "alpha \"two words\" \"tab\there\" \"\"");
    const char* single[] = {"./conv"};
    EXPECT_EQ(runtime::find_command_line_tail(runtime::build_command_line(1, single)), "");
}

TEST(SplitCommandLine, QuotesGroupBlanksSeparate) {
    using V = std::vector<std::string>;
    EXPECT_EQ(runtime::split_command_line("prog a  b"), (V{"prog", "a", "b"}));
    EXPECT_EQ(runtime::split_command_line("\"my prog\" \"a b\"\tc"), (V{"my prog", "a b", "c"}));
    EXPECT_EQ(runtime::split_command_line("x \"\" y"), (V{"x", "", "y"}));
    EXPECT_EQ(runtime::split_command_line("a\"b c\"d"), (V{"ab cd"}));
    EXPECT_EQ(runtime::split_command_line("   "), V{});
}

TEST_F(Lifecycle, StopCodeTakesCurrentLine) {
    runtime::mark_source_line(3, 41);
    EXPECT_EQ(runtime::set_stop_code(9), 9);
    auto& state = runtime::process_state();
    EXPECT_EQ(state.stop_code, 9);
    EXPECT_EQ(state.stop_line, 41);
    EXPECT_EQ(state.current_context, 3);
    EXPECT_EQ(state.current_line, 41);
}

TEST_F(Lifecycle, ShutdownRunsStepsInOrderOnce) {
    // Registered backwards on purpose: the order is the steps', not the registration's.
    for (int i = 9; i >= 0; --i)
        runtime::register_shutdown_step(ALL_STEPS[i], [i] { ran_steps().push_back(i); });
    runtime::register_shutdown_step(ShutdownStep::SOUND, nullptr);  // no sound object
    runtime::shut_down_runtime();
    EXPECT_EQ(ran_steps(), (std::vector<int>{0, 1, 2, 3, 4, 6, 7, 8, 9}));
    runtime::shut_down_runtime();
    EXPECT_EQ(ran_steps().size(), 9u);
}

TEST_F(Lifecycle, StepThatEndsProgramRunsTheRestOnce) {
    watch_exit();
    runtime::register_shutdown_step(ShutdownStep::INPUT, [] {
        ran_steps().push_back(1);
        runtime::end_program();
    });
    runtime::register_shutdown_step(ShutdownStep::EXIT_CLEANUP, [] { ran_steps().push_back(2); });
    EXPECT_EQ(exit_status_of([] { runtime::end_program(); }), 0);
    EXPECT_EQ(ran_steps(), (std::vector<int>{1, 2}));
}

TEST_F(Lifecycle, OrdinaryEndExitsZeroEvenWithRecordedCode) {
    watch_exit();
    runtime::register_shutdown_step(ShutdownStep::EXIT_CLEANUP, [] { ran_steps().push_back(1); });
    runtime::set_stop_code(3);  // recorded without ending, as line data files do
    EXPECT_EQ(exit_status_of([] { runtime::end_program(); }), 0);
    EXPECT_EQ(ran_steps(), (std::vector<int>{1}));
    EXPECT_FALSE(log_exists());
}

TEST_F(Lifecycle, RuntimeMainRunsInitialiseThenApplication) {
    watch_exit();
    auto& state = runtime::process_state();
    state.screen_width = 1;
    state.debug_mode = 1;
    int status = exit_status_of(
        [] { runtime::runtime_main("alpha beta", 10, initialise_checks, application_sets_line); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(state.screen_width, 640);
    EXPECT_EQ(state.debug_mode, 0);
    EXPECT_EQ(state.stop_code, 0);
    EXPECT_EQ(state.stop_line, 0);
    EXPECT_EQ(state.current_line, 12);  // set by the application after the reset
    EXPECT_EQ(state.current_context, 4);
    EXPECT_EQ(std::string(runtime::get_command_line().text_of()), "alpha beta");
}

TEST_F(Lifecycle, ProgramEntryPassesTail) {
    watch_exit();
    const char* argv[] = {"/opt/my tools/conv", "alpha", "beta"};
    int status = exit_status_of([&] { runtime::program_entry(3, argv, nullptr, nullptr); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(runtime::get_command_line().text_of()), "alpha beta");
}

// Start-up moves to the program's folder; start_folder keeps where the program started,
// and the entry hands the application's title to the initialisation.
std::string seen_title;
void initialise_moves(const char*, int, const char* title) {
    seen_title = title;
    ASSERT_EQ(chdir("/"), 0);
}

TEST_F(Lifecycle, EntryKeepsStartFolderAndPassesTitle) {
    watch_exit();
    const std::string started = std::filesystem::canonical(dir_.path()).generic_string();
    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_EQ(chdir(started.c_str()), 0);
    const char* argv[] = {"game", "../levels/a.pyxm"};
    exit_status_of([&] { runtime::program_entry(2, argv, initialise_moves, nullptr, "My Game"); });
    EXPECT_EQ(seen_title, "My Game");
    EXPECT_EQ(std::string(runtime::start_folder().text_of()), started);
    EXPECT_EQ(std::filesystem::current_path(), "/");
    exit_status_of([&] { runtime::program_entry(1, argv, initialise_moves, nullptr, nullptr); });
    EXPECT_EQ(seen_title, runtime::DEFAULT_TITLE);
    EXPECT_EQ(std::string(runtime::start_folder().text_of()), "/");
    std::filesystem::current_path(before);
}

TEST_F(Lifecycle, MinimalInitialiseDeletesLogAndSeeds) {
    runtime::append_error_log("old run");
    ASSERT_TRUE(log_exists());
    runtime::minimal_initialise("", 10, "brisel42_x9");
    EXPECT_FALSE(log_exists());
}

TEST_F(Lifecycle, EndAndRunShutsDownAndExitsZero) {
    watch_exit();
    runtime::register_shutdown_step(ShutdownStep::MAIN_WINDOW, [] { ran_steps().push_back(1); });
    runtime::register_shutdown_step(ShutdownStep::EXIT_CLEANUP, [] { ran_steps().push_back(2); });
    runtime::process_state().debug_mode = 1;
    int status = exit_status_of(
        [] { runtime::end_program_and_run(DynString("/nonexistent/program --flag")); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ran_steps(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(log_exists());  // this end writes no stop record
}

TEST_F(LifecycleDeathTest, ErrorStopExitsWithItsCode) {
    EXPECT_EXIT(runtime::error_stop(9), ::testing::ExitedWithCode(9), "^stopped: code 9\n$");
    EXPECT_FALSE(log_exists());
    EXPECT_EXIT(runtime::error_stop(3), ::testing::ExitedWithCode(3), "stopped: code 3");
    EXPECT_EXIT(runtime::error_stop(7), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EXIT(runtime::error_stop(300), ::testing::ExitedWithCode(1), "stopped: code 300");
    EXPECT_EXIT(runtime::error_stop(-4), ::testing::ExitedWithCode(1), "stopped: code -4");
}

TEST_F(LifecycleDeathTest, OrdinaryEndsExitZeroSilently) {
    EXPECT_EXIT(runtime::end_program(), ::testing::ExitedWithCode(0), ::testing::IsEmpty());
    EXPECT_EXIT(runtime::end_statement(), ::testing::ExitedWithCode(0), ::testing::IsEmpty());
    EXPECT_FALSE(log_exists());
}

TEST_F(LifecycleDeathTest, ErrorStopWritesStopRecordInDebugMode) {
    runtime::append_error_log("earlier line");
    runtime::process_state().debug_mode = 1;
    EXPECT_EXIT(runtime::error_stop(9), ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EQ(log_text(), "earlier line\r\n-End On Line\r\n9\r\n-1\r\n0\r\n0\r\n");
}

TEST_F(LifecycleDeathTest, StopRecordCarriesSourcePosition) {
    runtime::process_state().debug_mode = 1;
    runtime::mark_source_line(2, 40);
    EXPECT_EXIT(runtime::error_stop(7), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EQ(log_text(), "-End On Line\r\n7\r\n39\r\n40\r\n2\r\n");
}

TEST_F(LifecycleDeathTest, EndStatementLogsCodeZero) {
    runtime::process_state().debug_mode = 1;
    runtime::set_stop_code(3);
    EXPECT_EXIT(runtime::end_statement(), ::testing::ExitedWithCode(0), ::testing::IsEmpty());
    EXPECT_EQ(log_text(), "-End On Line\r\n0\r\n-1\r\n0\r\n0\r\n");
}

TEST_F(LifecycleDeathTest, LockedLogCostsRetriesAndProgramStillEnds) {
    std::string path = runtime::error_log_path();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    runtime::process_state().debug_mode = 1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(runtime::error_stop(9), ::testing::ExitedWithCode(9), "stopped: code 9");
    auto waited = std::chrono::steady_clock::now() - start;
    // Five entries, each five attempts with four 100 ms waits between them.
    EXPECT_GE(waited, std::chrono::milliseconds(5 * 4 * 100));
    ::close(fd);
    EXPECT_EQ(log_text(), "");
}

TEST_F(LifecycleDeathTest, EndAndRunStartsProgramWithoutShell) {
    std::string marker = dir_.file("made by child");
    std::string command = "touch \"" + marker + "\"";
    EXPECT_EXIT(runtime::end_program_and_run(DynString(command.c_str())),
                ::testing::ExitedWithCode(0), ::testing::IsEmpty());
    // The child runs on its own: wait for its file as long as a loaded machine may need.
    for (int i = 0; i < 1500 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(LifecycleDeathTest, EndAndRunWithUnstartableCommandEndsWithZero) {
    EXPECT_EXIT(runtime::end_program_and_run(DynString("/nonexistent/program arg")),
                ::testing::ExitedWithCode(0), ::testing::IsEmpty());
    EXPECT_EXIT(runtime::end_program_and_run(DynString("")), ::testing::ExitedWithCode(0),
                ::testing::IsEmpty());
}
