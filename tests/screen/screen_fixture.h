// A fresh offscreen window per test, with the error log in the test's own folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "support/temp_dir.h"

namespace runtime {

class ScreenWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", temp_.path().c_str(), 1);
        reset_screen();
        process_state() = ProcessState{};
        ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 0)) << platform::last_error();
        screen_state().window_title = "brisel42_x9";
        platform::set_window_title("brisel42_x9");
        pump_all();
    }
    void TearDown() override {
        reset_screen();
        register_shutdown_step(ShutdownStep::MAIN_WINDOW, {});
        unsetenv("TMPDIR");
    }
    static void pump_all() { pump_messages(); }
    std::string error_log() const { return test_support::read_file(error_log_path()); }
    test_support::TempDir temp_;
};

}  // namespace runtime
