// Opening maps, through the built converter: only regular files, at once, and shared
// with every other reader.
#include "app/map_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::run_program;

std::string golden_map(const char* name) { return converter_test::test_data_folder() + "/" + name + "/map.tmx"; }

// A FIFO (which would block an ordinary open), a device and a socket are refused at once,
// before any output exists.
TEST(MapFileFailures, FilesThatAreNotRegularAreRefusedAtOnce) {
    test_support::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.tmx").c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = dir.file("socket.tmx");
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socket_path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    converter_test::StartedProgram converter(converter_path(), {"-o", "out", "pipe.tmx", "/dev/zero", "socket.tmx"},
                                             dir.path().string());
    const converter_test::ProcessRun run = converter.wait(20);
    ::close(listener);
    ASSERT_FALSE(run.timed_out) << "the converter waited on an input";
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Cannot convert pipe.tmx: it is not a regular file\n"
              "Cannot convert /dev/zero: it is not a regular file\n"
              "Cannot convert socket.tmx: it is not a regular file\n");
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
}

// Reading takes a shared lock: other readers (another converter, a game) never keep the
// converter out; a program writing the map (an exclusive lock) does.
TEST(MapFile, OtherReadersShareTheMapAndAWriterKeepsItOut) {
    test_support::TempDir dir;
    fs::copy_file(golden_map("one_layer"), dir.file("m.tmx"));
    const int held = ::open(dir.file("m.tmx").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    EXPECT_EQ(run_program(converter_path(), {"m.tmx"}, dir.path().string()).status, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const converter_test::ProcessRun refused = run_program(converter_path(), {"-o", "out", "m.tmx"}, dir.path().string());
    ::close(held);
    EXPECT_EQ(refused.err, "Cannot convert m.tmx: the file is in use by another program\n");
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
}

}  // namespace
