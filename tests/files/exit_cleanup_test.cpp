// The files module at the end of the program: every kind of end (ordinary, error stop,
// end-and-run, plain exit) writes back changed stores, once, and removes extracted files.
#include <cstdlib>

#include "files_fixture.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/files.h"
#include "runtime/files/packed_archive.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

void change_stores(const FilesTest& t, const std::string& ini, const std::string& lines) {
    (void)t;
    runtime::ini_open(DynString(ini.c_str()));
    runtime::ini_put(DynString("Run"), DynString("ended"), DynString("yes"));
    runtime::line_file_write_text(DynString(lines.c_str()), 5, DynString("five"));
}

const char* const SIX_LINES = "\r\n\r\n\r\n\r\n\r\nfive\r\n";

}  // namespace

// The suite is the behaviour under test; the fixture is shared with other files.
using ExitCleanup = FilesTest;

TEST_F(ExitCleanup, ErrorStopWritesBackBothStores) {
    EXPECT_EXIT(
        {
            change_stores(*this, path("a.ini"), path("a.txt"));
            runtime::error_stop(9);
        },
        ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EQ(read_file(path("a.ini")), "[Run]\r\nended=yes\r\n");
    EXPECT_EQ(read_file(path("a.txt")), SIX_LINES);
}

TEST_F(ExitCleanup, OrdinaryEndWritesBackAndClosesChannels) {
    EXPECT_EXIT(
        {
            change_stores(*this, path("b.ini"), path("b.txt"));
            runtime::open_file_channel(7, path("out.txt").c_str(), 0);
            runtime::write_text(7, DynString("kept"));
            runtime::end_statement();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_file(path("b.ini")), "[Run]\r\nended=yes\r\n");
    EXPECT_EQ(read_file(path("b.txt")), SIX_LINES);
    EXPECT_EQ(read_file(path("out.txt")), "kept");
}

TEST_F(ExitCleanup, PlainExitStillWritesBack) {
    EXPECT_EXIT(
        {
            change_stores(*this, path("c.ini"), path("c.txt"));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_file(path("c.ini")), "[Run]\r\nended=yes\r\n");
    EXPECT_EQ(read_file(path("c.txt")), SIX_LINES);
}

TEST_F(ExitCleanup, EndAndRunWritesBack) {
    EXPECT_EXIT(
        {
            change_stores(*this, path("d.ini"), path("d.txt"));
            runtime::end_program_and_run(DynString("true"));
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_file(path("d.ini")), "[Run]\r\nended=yes\r\n");
}

TEST_F(ExitCleanup, WriteBackHappensOnlyOnce) {
    std::string ini = path("once.ini");
    EXPECT_EXIT(
        {
            change_stores(*this, ini, path("once.txt"));
            runtime::shut_down_runtime();
            // Whatever lands in the file after the clean-up must survive the process exit.
            test_support::write_file(ini, "after");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_file(ini), "after");
}

TEST_F(ExitCleanup, EndOfProgramDeletesExtractedFiles) {
    std::string marker = path("extracted_path.txt");
    std::string pak = path("x.pak");
    // An archive with one entry, made by hand: block "e" of an empty file, then the directory.
    std::string block = std::string("\0\0\0\0\x11\0\0", 7);
    std::string archive = block + std::string("\x01" "e") + std::string("\0\0\0\0\x07\0\0\0", 8) + std::string(1, '\0') +
                          "qvK" + std::string("\x07\0\0\0", 4);
    make_file(pak, archive);
    EXPECT_EXIT(
        {
            runtime::set_archive_paths(DynString(pak.c_str()), DynString(""));
            char out[runtime::ARCHIVE_PATH_SIZE];
            if (runtime::resolve_packed_name("e", out) != 1) std::_Exit(5);
            test_support::write_file(marker, out);
            runtime::end_statement();
        },
        ::testing::ExitedWithCode(0), "");
    std::string extracted = read_file(marker);
    ASSERT_FALSE(extracted.empty());
    EXPECT_FALSE(std::filesystem::exists(extracted));
}
