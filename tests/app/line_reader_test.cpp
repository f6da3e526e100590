// Line cutting of map files: line ends, 1024-byte pieces, zero bytes, the last line.
#include "app/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::vector<std::string> lines_of(const std::string& bytes) {
    test_support::TempDir dir;
    std::string path = dir.file("lines.tmx");
    EXPECT_TRUE(test_support::write_file(path, bytes));
    app::LineReader reader;
    std::string reason;
    EXPECT_TRUE(reader.open(path, reason)) << reason;
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    EXPECT_FALSE(reader.failed());
    return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, CrLfAndLfEndLinesAndTheLastLineNeedsNoEnd) {
    EXPECT_EQ(lines_of("ab\r\nc"), (Lines{"ab", "c"}));
    EXPECT_EQ(lines_of("ab\nc\n"), (Lines{"ab", "c"}));
    EXPECT_EQ(lines_of(""), Lines{});
    EXPECT_EQ(lines_of("\n\n"), (Lines{"", ""}));
}

TEST(LineReader, ALoneCrStaysInsideTheLineButNotBeforeTheEnd) {
    EXPECT_EQ(lines_of("a\rb\r\r\nc\r"), (Lines{"a\rb\r", "c"}));
}

TEST(LineReader, LongLinesArriveInPiecesOf1024Bytes) {
    std::string exact(1024, 'x');
    EXPECT_EQ(lines_of(exact + "\nnext\n"), (Lines{exact, "", "next"}));
    std::string long_line = std::string(1024, 'a') + std::string(976, 'b');
    EXPECT_EQ(lines_of(long_line + "\n"), (Lines{std::string(1024, 'a'), std::string(976, 'b')}));
    // A CR that is the 1024th byte stays with its piece; the LF then ends an empty line.
    std::string cr_at_end = std::string(1023, 'c') + "\r\nz";
    EXPECT_EQ(lines_of(cr_at_end), (Lines{std::string(1023, 'c') + "\r", "", "z"}));
}

TEST(LineReader, CrLfAcrossTheFirstSmallChunkIsStillOneLineEnd) {
    std::string line(63, 'q');
    EXPECT_EQ(lines_of(line + "\r\nrest"), (Lines{line, "rest"}));
}

TEST(LineReader, AZeroByteEndsTheTextOfItsLine) {
    EXPECT_EQ(lines_of(std::string("ab\0cd\nef", 8)), (Lines{"ab", "ef"}));
}

TEST(LineReader, AnUnendedLastLineOfAWholeNumberOfSmallChunksIsDelivered) {
    std::string line(128, 'm');
    EXPECT_EQ(lines_of("first\n" + line), (Lines{"first", line}));
}

TEST(LineReader, ManyLinesAcrossBufferRefillsKeepTheirOrder) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += "   <tile gid=\"" + std::to_string(i) + "\"/>\n";
    Lines lines = lines_of(bytes);
    ASSERT_EQ(lines.size(), 200000u);
    EXPECT_EQ(lines[0], "   <tile gid=\"0\"/>");
    EXPECT_EQ(lines[123456], "   <tile gid=\"123456\"/>");
    EXPECT_EQ(lines.back(), "   <tile gid=\"199999\"/>");
}

TEST(LineReader, RewindStartsAgainAtTheFirstLine) {
    test_support::TempDir dir;
    std::string path = dir.file("r.tmx");
    ASSERT_TRUE(test_support::write_file(path, "one\ntwo\n"));
    app::LineReader reader;
    std::string reason;
    ASSERT_TRUE(reader.open(path, reason));
    std::string_view line;
    while (reader.next(line)) {}
    ASSERT_TRUE(reader.rewind());
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "one");
}

TEST(LineReaderFailures, AMissingFileIsRefusedWithTheSystemsReason) {
    test_support::TempDir dir;
    app::LineReader reader;
    std::string reason;
    EXPECT_FALSE(reader.open(dir.file("missing.tmx"), reason));
    EXPECT_NE(reason.find("cannot be opened"), std::string::npos) << reason;
    EXPECT_FALSE(reader.open(dir.path().string(), reason));
}

}  // namespace
