// "No sharing": a file open on a channel cannot be opened again, on another channel,
// by the file commands, or by another process, until it is closed.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "files_fixture.h"
#include "runtime/files/files.h"
#include "runtime/platform/posix/file_system.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;

namespace {

// Runs `check` in a forked child and returns its exit status (the check's result).
int in_child(const std::function<int()>& check) {
    pid_t pid = fork();
    if (pid == 0) _exit(check());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(FilesTest, OpenChannelHoldsTheFileAgainstEveryOtherOpener) {
    make_file(path("held.txt"), "content\n");
    DynString name(path("held.txt").c_str());
    ASSERT_EQ(runtime::open_file_channel(0, name, 1), 1);
    EXPECT_EQ(runtime::open_file_channel(1, name, 1), 0);
    EXPECT_EQ(runtime::open_file_channel(2, name, 0), 0);  // writing may not empty it either
    EXPECT_EQ(runtime::file_exists(name), 0);
    EXPECT_EQ(runtime::file_size(name), 0);
    runtime::delete_file(name);
    runtime::copy_file(DynString(path("other.txt").c_str()), name);
    EXPECT_EQ(test_support::read_file(path("held.txt")), "content\n");

    runtime::close_file_channel(0);
    EXPECT_EQ(runtime::file_exists(name), 1);
    EXPECT_EQ(runtime::file_size(name), 8);
    EXPECT_EQ(runtime::open_file_channel(1, name, 1), 1);
}

TEST_F(FilesTest, TwoDescriptorsOfOneProcessExcludeEachOther) {
    make_file(path("f.txt"), "x");
    char name[runtime::platform::NAME_BUFFER_SIZE];
    ASSERT_TRUE(runtime::platform::to_system_name(path("f.txt").c_str(), name));
    runtime::platform::FileHandle first = runtime::platform::open_exclusive_read(name);
    ASSERT_TRUE(first.is_open());
    EXPECT_FALSE(runtime::platform::open_exclusive_read(name).is_open());
    EXPECT_FALSE(runtime::platform::create_exclusive(name).is_open());
    EXPECT_FALSE(runtime::platform::delete_unheld(name));
    first.close();
    EXPECT_TRUE(runtime::platform::open_exclusive_read(name).is_open());
}

TEST_F(FilesTest, AnotherProcessCannotOpenAHeldFile) {
    make_file(path("p.txt"), "shared?\n");
    DynString name(path("p.txt").c_str());
    ASSERT_EQ(runtime::open_file_channel(3, name, 1), 1);
    EXPECT_EQ(in_child([&] { return static_cast<int>(runtime::file_exists(name)); }), 0);
    EXPECT_EQ(in_child([&] { return static_cast<int>(runtime::open_file_channel(0, name, 0)); }), 0);
    // A different program honouring the same lock is refused as well.
    std::string command = "flock -n '" + path("p.txt") + "' true";
    EXPECT_NE(std::system(command.c_str()), 0);
    runtime::close_file_channel(3);
    EXPECT_EQ(in_child([&] { return static_cast<int>(runtime::file_exists(name)); }), 1);
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(test_support::read_file(path("p.txt")), "shared?\n");
}

TEST_F(FilesTest, ChannelOfAnotherProcessHoldsTheFileHere) {
    DynString name(path("q.txt").c_str());
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    if (pid == 0) {
        int ok = static_cast<int>(runtime::open_file_channel(0, name, 0));
        runtime::write_line(0, DynString("child"));
        char c = static_cast<char>(ok);
        if (write(ready[1], &c, 1) != 1) _exit(2);
        if (read(done[0], &c, 1) != 1) _exit(2);
        runtime::close_file_channel(0);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(runtime::file_exists(name), 0);
    EXPECT_EQ(runtime::open_file_channel(0, name, 0), 0);
    ASSERT_EQ(write(done[1], &c, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test_support::read_file(path("q.txt")), "child\r\n");
    EXPECT_EQ(runtime::file_exists(name), 1);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}
