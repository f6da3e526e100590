// A fresh runtime per test. reset_runtime() puts the process-wide records back as a new
// process has them, through the shut-down list the end of a program runs; RuntimeFixture
// resets around each test and points the runtime's temporary folder into the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/screen/screen_state.h"
#include "support/temp_dir.h"

namespace test_support {

// Every registered shut-down step runs, but the main window's: the window and its context
// are closed without quitting the video system, which the next test reuses.
inline void reset_runtime() {
    runtime::register_shutdown_step(runtime::ShutdownStep::MAIN_WINDOW, {});
    runtime::shut_down_runtime();
    runtime::reset_screen();
    runtime::process_state() = runtime::ProcessState{};
    runtime::gfx2d_hooks() = runtime::Gfx2dHooks{};
}

class RuntimeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* before = std::getenv("TMPDIR")) tmpdir_before_ = before;
        // Device lines of the error log go to the test's own folder.
        setenv("TMPDIR", temp_.path().c_str(), 1);
        reset_runtime();
    }
    void TearDown() override {
        reset_runtime();
        if (tmpdir_before_) {
            setenv("TMPDIR", tmpdir_before_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    TempDir temp_;

private:
    std::optional<std::string> tmpdir_before_;
};

}  // namespace test_support
