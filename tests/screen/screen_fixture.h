// A fresh offscreen window per test, with the error log in the test's own folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/core/error_log.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "support/runtime_fixture.h"

namespace runtime {

class ScreenWindow : public test_support::RuntimeFixture {
protected:
    void SetUp() override {
        RuntimeFixture::SetUp();
        ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 0)) << platform::last_error();
        screen_state().window_title = "brisel42_x9";
        platform::set_window_title("brisel42_x9");
        pump_all();
    }
    static void pump_all() { pump_messages(); }
    std::string error_log() const { return test_support::read_file(error_log_path()); }
};

}  // namespace runtime
