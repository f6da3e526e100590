// Platform information keys, the console and the window handle.
#include "runtime/screen/os/os_system.h"

#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "runtime/platform/window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {
namespace {

std::string text(const DynString& s) { return s.text_of(); }

bool ptrace_attach_for_test(pid_t child) { return ptrace(PTRACE_ATTACH, child, nullptr, nullptr) == 0; }
void ptrace_continue_for_test(pid_t child, int signal) {
    // The attach stop is ours; other signals go on to the child.
    const long pass = signal == SIGSTOP ? 0 : signal;
    ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(pass));
}

TEST(PlatformInfo, FixedKeys) {
    EXPECT_EQ(text(platform_info(DynString(""))), "LINUX");
    EXPECT_EQ(text(platform_info(DynString("DEVICE"))), "DESKTOP");
    EXPECT_EQ(text(platform_info(DynString("device"))), "DESKTOP");
    EXPECT_EQ(text(platform_info(DynString("weather"))), "NO_DATA");
    EXPECT_EQ(text(platform_info(DynString("GLEXT"))), "NO_DATA");  // no colon: no prefix
}

TEST(PlatformInfo, IdIsTheMachineSerialMaskedInMemoryOrder) {
    uint32_t serial = FALLBACK_MACHINE_SERIAL;
    std::ifstream file("/etc/machine-id");
    std::string line;
    if (file && std::getline(file, line) && line.size() >= 8)
        serial = static_cast<uint32_t>(std::stoul(line.substr(0, 8), nullptr, 16));
    const uint32_t masked = serial ^ MACHINE_ID_MASK;
    char expected[9];
    std::snprintf(expected, sizeof expected, "%02X%02X%02X%02X", masked & 0xFF, (masked >> 8) & 0xFF,
                  (masked >> 16) & 0xFF, masked >> 24);
    EXPECT_EQ(text(platform_info(DynString("ID"))), expected);
    EXPECT_EQ(text(platform_info(DynString("id"))), expected);
}

TEST(PlatformInfo, IdTextOfAKnownSerial) {
    // 0x5A3C96E1 ^ 0x01020304 = 0x5B3E95E5, written byte by byte from the low end.
    EXPECT_EQ(text(machine_id_text(0x01020304u)), "E5953E5B");
    EXPECT_EQ(text(machine_id_text(MACHINE_ID_MASK)), "00000000");
}

TEST(PlatformInfo, TimeTextPadsHourMinuteAndSecondToTwoPlaces) {
    EXPECT_EQ(text(time_text(2008, 3, 3, 9, 5, 7)), "2008-3-3  9: 5: 7");
    EXPECT_EQ(text(time_text(2024, 12, 31, 23, 59, 58)), "2024-12-31 23:59:58");
}

TEST(PlatformInfo, TimeKeyIgnoresLetterCase) {
    // Read both within one second: retry when the clock ticked in between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string upper = text(platform_info(DynString("TIME")));
        const std::string lower = text(platform_info(DynString("time")));
        if (upper == lower) {
            EXPECT_EQ(upper.size() >= std::string("2000-1-1  0: 0: 0").size(), true);
            EXPECT_NE(upper.find(':'), std::string::npos);
            return;
        }
    }
    FAIL() << "TIME and time never agreed";
}

class PlatformInfoGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::init_video());
        ASSERT_TRUE(platform::create_window("glext", 0, 0, 32, 32, platform::GlFormat{}));
        ASSERT_TRUE(platform::create_gl_context());
    }
    void TearDown() override {
        platform::delete_gl_context();
        platform::destroy_window();
    }
};

TEST_F(PlatformInfoGl, GlextReportsOnlyRealEntryPointsInTheirLetterCase) {
    EXPECT_EQ(text(platform_info(DynString("GLEXT:glGenBuffers"))), "1");
    EXPECT_EQ(text(platform_info(DynString("glext:glBegin"))), "1");
    EXPECT_EQ(text(platform_info(DynString("GLEXT:glgenbuffers"))), "0");
    EXPECT_EQ(text(platform_info(DynString("GLEXT:GLGENBUFFERS"))), "0");
    EXPECT_EQ(text(platform_info(DynString("GLEXT:glNoSuchEntryPointXYZ"))), "0");
    EXPECT_EQ(text(platform_info(DynString("GLEXT:"))), "0");
}

TEST(PlatformInfoNoGl, GlextWithoutAContextIsZero) {
    if (platform::has_gl_context()) GTEST_SKIP() << "a context is current";
    EXPECT_EQ(text(platform_info(DynString("GLEXT:glBegin"))), "0");
}

TEST(OpenConsole, WithoutATerminalTheStreamsStayAsTheyAre) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A new session has no controlling terminal, like a program started from a desktop.
        setsid();
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        open_console();
        std::fputs("still here", stdout);
        std::fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    char buffer[64];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, "still here");
}

TEST(DebugBreakpoint, WithoutADebuggerNothingHappens) {
    if (debugger_attached()) GTEST_SKIP() << "running under a debugger";
    screen_state().paused = true;
    testing::internal::CaptureStderr();
    debug_breakpoint(255);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(screen_state().paused);
    screen_state().paused = false;
}

TEST(DebugBreakpoint, TheTracerIsSeenInProcStatus) {
    // A traced child sees its tracer; this process normally has none.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[1]);
        char go;
        if (read(fds[0], &go, 1) != 1) _exit(3);
        _exit(debugger_attached() ? 1 : 0);
    }
    close(fds[0]);
    if (!ptrace_attach_for_test(child)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        GTEST_SKIP() << "tracing is not permitted here";
    }
    ASSERT_EQ(write(fds[1], "g", 1), 1);
    close(fds[1]);
    int status = 0;
    for (;;) {
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) break;
        ptrace_continue_for_test(child, WIFSTOPPED(status) ? WSTOPSIG(status) : 0);
    }
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(WindowHandle, IsTheMainWindowNumber) {
    screen_state().main_window = 7;
    EXPECT_EQ(get_window_handle(), 7.0);
    screen_state().main_window = 0;
    EXPECT_EQ(get_window_handle(), 0.0);
}

}  // namespace
}  // namespace runtime
