// Inside the program a file open on a channel cannot be opened again, on another
// channel or by the file commands, until it is closed; other programs may read it
// alongside a reader and nothing alongside a writer.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "files_fixture.h"
#include "runtime/files/files.h"
#include "runtime/platform/files.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;

// The suite is the behaviour under test; the fixture is shared with other files.
using ExclusiveOpen = FilesTest;

TEST_F(ExclusiveOpen, OpenChannelHoldsTheFileAgainstEveryOtherOpener) {
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

TEST_F(ExclusiveOpen, TwoDescriptorsOfOneProcessExcludeEachOther) {
    make_file(path("f.txt"), "x");
    char name[runtime::platform::NAME_BUFFER_SIZE];
    ASSERT_TRUE(runtime::platform::to_system_name(path("f.txt").c_str(), name));
    runtime::platform::FileHandle first = runtime::platform::open_for_reading(name);
    ASSERT_TRUE(first.is_open());
    EXPECT_FALSE(runtime::platform::open_for_reading(name).is_open());
    EXPECT_FALSE(runtime::platform::create_exclusive(name).is_open());
    EXPECT_FALSE(runtime::platform::delete_unheld(name));
    first.close();
    EXPECT_TRUE(runtime::platform::open_for_reading(name).is_open());
}

// Other programs may read a file alongside our reader, never alongside our writer.
TEST_F(ExclusiveOpen, OtherProgramsShareAReadChannelButNotAWriteChannel) {
    make_file(path("p.txt"), "shared?\n");
    DynString name(path("p.txt").c_str());
    const std::string shared = "flock -n -s '" + path("p.txt") + "' true";
    const std::string exclusive = "flock -n '" + path("p.txt") + "' true";
    for (int mode : {1, 0}) {
        ASSERT_EQ(runtime::open_file_channel(3, name, mode), 1);
        EXPECT_EQ(std::system(shared.c_str()) == 0, mode == 1) << mode;
        EXPECT_NE(std::system(exclusive.c_str()), 0) << mode;
        runtime::close_file_channel(3);
        EXPECT_EQ(std::system(exclusive.c_str()), 0) << mode;
    }
}

// A channel another process holds: its reader leaves the file readable here (two
// programs starting from one folder both load their files), its writer does not; and
// nothing here may empty, delete or replace the file under either.
TEST_F(ExclusiveOpen, ChannelOfAnotherProcessHoldsTheFileHere) {
    DynString name(path("q.txt").c_str());
    DynString other(path("other.txt").c_str());
    make_file(path("other.txt"), "other");
    for (int mode : {0, 1}) {
        make_file(path("q.txt"), "old\r\n");
        int ready[2], done[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(done), 0);
        pid_t pid = fork();
        if (pid == 0) {
            char c = static_cast<char>(runtime::open_file_channel(0, name, mode));
            if (mode == 0) runtime::write_line(0, DynString("child"));
            if (write(ready[1], &c, 1) != 1 || read(done[0], &c, 1) != 1) _exit(2);
            runtime::close_file_channel(0);
            _exit(0);
        }
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        EXPECT_EQ(c, 1);
        const double readable = mode == 1 ? 1 : 0;
        EXPECT_EQ(runtime::file_exists(name), readable) << mode;
        EXPECT_EQ(runtime::file_size(name), 5 * readable) << mode;
        EXPECT_EQ(runtime::open_file_channel(1, name, 1), readable) << mode;
        runtime::close_file_channel(1);
        EXPECT_EQ(runtime::open_file_channel(1, name, 0), 0) << mode;
        runtime::delete_file(name);
        runtime::copy_file(other, name);
        EXPECT_FALSE(runtime::platform::replace_file(path("q.txt").c_str(), "new", 3)) << mode;
        ASSERT_EQ(write(done[1], &c, 1), 1);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(test_support::read_file(path("q.txt")), mode == 0 ? "child\r\n" : "old\r\n") << mode;
        EXPECT_EQ(runtime::file_exists(name), 1);
        for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
    }
}

// Whole-file writers take the writer's lock before anything is emptied, and put the
// new content in place in one step.
TEST_F(ExclusiveOpen, ReplaceFileWritesWholeContentOnlyWhenNobodyHoldsTheFile) {
    const std::string file = path("r.txt");
    EXPECT_TRUE(runtime::platform::replace_file(file.c_str(), "first", 5));
    EXPECT_EQ(test_support::read_file(file), "first");
    ASSERT_EQ(runtime::open_file_channel(2, DynString(file.c_str()), 1), 1);
    EXPECT_FALSE(runtime::platform::replace_file(file.c_str(), "second", 6));
    runtime::close_file_channel(2);
    // A link keeps pointing at the file, which gets the content.
    std::filesystem::create_symlink(file, path("link.txt"));
    EXPECT_TRUE(runtime::platform::replace_file(path("link.txt").c_str(), "third", 5));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.txt")));
    EXPECT_EQ(test_support::read_file(file), "third");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    EXPECT_FALSE(runtime::platform::replace_file(path("missing/r.txt").c_str(), "x", 1));
}
