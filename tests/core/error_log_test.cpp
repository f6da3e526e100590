// The shared error log: the path in the temporary folder, appends with CR LF, the
// retries while another holder keeps the file locked.
#include "runtime/core/error_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace {

class ErrorLog : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        had_tmpdir_ = old != nullptr;
        if (had_tmpdir_) old_tmpdir_ = old;
        setenv("TMPDIR", dir_.path().c_str(), 1);
    }
    void TearDown() override {
        if (had_tmpdir_)
            setenv("TMPDIR", old_tmpdir_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::string log_text() const { return test_support::read_file(runtime::error_log_path()); }

    test_support::TempDir dir_;
    bool had_tmpdir_ = false;
    std::string old_tmpdir_;
};

}  // namespace

TEST_F(ErrorLog, PathIsInTemporaryFolder) {
    EXPECT_EQ(runtime::temp_folder(), dir_.path().string() + "/");
    EXPECT_EQ(runtime::error_log_path(), dir_.path().string() + "/ErrorLog.txt");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(runtime::temp_folder(), "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(runtime::temp_folder(), "/tmp/");
}

TEST_F(ErrorLog, AppendsLinesWithCarriageReturn) {
    runtime::append_error_log("first");
    runtime::append_error_log("");
    runtime::append_error_log(nullptr);
    runtime::append_error_log("third");
    EXPECT_EQ(log_text(), "first\r\n\r\n\r\nthird\r\n");
    runtime::delete_error_log();
    EXPECT_FALSE(std::filesystem::exists(runtime::error_log_path()));
    runtime::delete_error_log();  // nothing to delete is fine
}

TEST_F(ErrorLog, RetriesUntilLockIsReleased) {
    std::string path = runtime::error_log_path();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    // The lock goes once the first attempt has found it taken and closed the file again, so
    // the append must wait for its next attempt however the threads are scheduled.
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_CLOSE), 0);
    std::thread release([fd, watch] {
        alignas(inotify_event) char event[sizeof(inotify_event) + 256];
        if (::read(watch, event, sizeof event) <= 0) ADD_FAILURE() << "no attempt seen";
        ::close(fd);
        ::close(watch);
    });
    auto start = std::chrono::steady_clock::now();
    runtime::append_error_log("after wait");
    auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_EQ(log_text(), "after wait\r\n");
}

TEST_F(ErrorLog, GivesUpSilentlyAfterFiveAttempts) {
    std::string path = runtime::error_log_path();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    auto start = std::chrono::steady_clock::now();
    runtime::append_error_log("lost");
    auto waited = std::chrono::steady_clock::now() - start;
    ::close(fd);
    EXPECT_GE(waited, std::chrono::milliseconds(400));
    EXPECT_EQ(log_text(), "");
}

TEST_F(ErrorLog, MissingFolderOrOverlongPathIsSkipped) {
    setenv("TMPDIR", (dir_.path() / "no such folder").c_str(), 1);
    runtime::append_error_log("nowhere");
    EXPECT_FALSE(std::filesystem::exists(runtime::error_log_path()));
    std::string deep = dir_.path().string() + "/" + std::string(1100, 'd');
    setenv("TMPDIR", deep.c_str(), 1);
    auto start = std::chrono::steady_clock::now();
    runtime::append_error_log("too long");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}
