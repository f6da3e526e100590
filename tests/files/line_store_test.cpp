// Line data files: take-up, reads and writes by line number, recorded stop codes and
// write-back on switching files.
#include "files_fixture.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/files.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

std::string read_text(const std::string& file, double line) {
    DynString s;
    runtime::line_file_read_text(DynString(file.c_str()), line, s);
    return s.text_of();
}

}  // namespace

// The suite is the behaviour under test; the fixture is shared with other files.
using LineStores = FilesTest;

TEST_F(LineStores, LineStoreReadsLinesAndTrimsControls) {
    make_file(path("scores.txt"), "alpha\r\n42\t\r\n\r\nlast");
    EXPECT_EQ(read_text(path("scores.txt"), 0), "alpha");
    EXPECT_EQ(read_text(path("scores.txt"), 1), "42");
    EXPECT_EQ(read_text(path("scores.txt"), 2), "NO_DATA");
    EXPECT_EQ(read_text(path("scores.txt"), 3), "last");
    EXPECT_EQ(read_text(path("scores.txt"), 4), "NO_DATA");
    EXPECT_EQ(runtime::line_store().last_line, 3);
    EXPECT_EQ(runtime::process_state().stop_code, 0);
    double v = 0;
    runtime::line_file_read_number(DynString(path("scores.txt").c_str()), 1.9, v);
    EXPECT_EQ(v, 42);
}

TEST_F(LineStores, LineStoreBadLineNumbersRecordCode7AndKeepTheFile) {
    make_file(path("a.txt"), "x\n");
    EXPECT_EQ(read_text(path("a.txt"), 0), "x");
    EXPECT_EQ(read_text(path("b.txt"), 256), "NO_DATA");
    EXPECT_EQ(runtime::process_state().stop_code, 7);
    EXPECT_EQ(runtime::line_store().file_name, path("a.txt"));
    EXPECT_EQ(read_text(path("a.txt"), -1), "NO_DATA");
    runtime::process_state().stop_code = 0;
    runtime::line_file_write_text(DynString(path("a.txt").c_str()), 300, DynString("no"));
    EXPECT_EQ(runtime::process_state().stop_code, 7);
    EXPECT_FALSE(runtime::line_store().changed);
}

TEST_F(LineStores, LineStoreMissingFileGivesNoFileAndCode3) {
    EXPECT_EQ(read_text(path("missing.txt"), 0), "NO_FILE");
    EXPECT_EQ(runtime::process_state().stop_code, 3);
    double v = 9;
    runtime::line_file_read_number(DynString(path("missing2.txt").c_str()), 0, v);
    EXPECT_EQ(v, 0);
}

TEST_F(LineStores, LineStoreWritingLine5MakesSixLinesAtWriteBack) {
    runtime::line_file_write_text(DynString(path("new.txt").c_str()), 5, DynString("five"));
    EXPECT_FALSE(std::filesystem::exists(path("new.txt")));
    runtime::line_store_write_back();
    EXPECT_EQ(read_file(path("new.txt")), "\r\n\r\n\r\n\r\n\r\nfive\r\n");
}

TEST_F(LineStores, LineStoreNumbersAndSwitchingFilesWritesBackOnlyChanges) {
    make_file(path("one.txt"), "1\n");
    make_file(path("two.txt"), "2\n");
    runtime::line_file_write_number(path("one.txt").c_str(), 1, 0.5);
    runtime::line_file_write_number(path("one.txt").c_str(), 2, 1);
    EXPECT_EQ(read_text(path("two.txt"), 0), "2");  // switching writes one.txt back
    EXPECT_EQ(read_file(path("one.txt")), "1\r\n0.5\r\n1\r\n");
    EXPECT_EQ(read_text(path("one.txt"), 1), "0.5");
    EXPECT_EQ(read_file(path("two.txt")), "2\n");  // unchanged: not rewritten
}

TEST_F(LineStores, LineStoreNamesDifferingInCaseAreDifferentFiles) {
    make_file(path("Case.txt"), "upper\n");
    make_file(path("case.txt"), "lower\n");
    EXPECT_EQ(read_text(path("Case.txt"), 0), "upper");
    EXPECT_EQ(read_text(path("case.txt"), 0), "lower");
    EXPECT_EQ(read_text(path("Case.txt"), 0), "upper");
}

TEST_F(LineStores, LineStoreLoadsAtMost256LinesAndCutsLongOnes) {
    std::string text = std::string(1500, 'L') + "\n";
    for (int i = 1; i < 300; ++i) text += std::to_string(i) + "\n";
    make_file(path("many.txt"), text);
    EXPECT_EQ(read_text(path("many.txt"), 0), std::string(1023, 'L'));
    EXPECT_EQ(read_text(path("many.txt"), 1), "1");  // the cut rest is no line of its own
    EXPECT_EQ(read_text(path("many.txt"), 255), "255");
    EXPECT_EQ(runtime::line_store().last_line, 255);
    runtime::line_file_write_text(path("many.txt").c_str(), 3, DynString(std::string(2000, 'w').c_str()));
    EXPECT_EQ(read_text(path("many.txt"), 3), std::string(1023, 'w'));
}

TEST(LineStoreParse, BytesFillTheSlots) {
    runtime::LineStore store;
    std::string bytes = "a\r\nb\rc\n\nd";
    runtime::line_store_parse_bytes(store, bytes.data(), bytes.size());
    EXPECT_STREQ(store.lines.data(), "a");
    EXPECT_STREQ(store.lines.data() + 1024, "b\rc");
    EXPECT_STREQ(store.lines.data() + 3 * 1024, "d");
    EXPECT_EQ(store.last_line, 3);
}
