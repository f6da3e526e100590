// File channels on real files: the line rules, numbers in little-endian order, stops
// for bad channels and short reads, and the read-ahead matching plain 64-byte reads.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "files_fixture.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/file_channel_table.h"
#include "runtime/files/files.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

std::string line_of(double channel) {
    DynString s;
    runtime::read_line(channel, s);
    return std::string(s.text_of(), static_cast<size_t>(s.length));
}

}  // namespace

// The suite is the behaviour under test; the fixture is shared with other files.
using FileChannels = FilesTest;

TEST_F(FileChannels, ReadLineSplitsCrLfAndEndsAtTheLastLine) {
    make_file(path("t.txt"), "ab\r\nc");
    ASSERT_EQ(runtime::open_file_channel(0, path("t.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), "ab");
    EXPECT_EQ(runtime::end_of_file(0), 0);
    EXPECT_EQ(line_of(0), "c");
    EXPECT_EQ(runtime::end_of_file(0), 1);
    // The end of the file is "consumed" as the last line's end: one beyond the size.
    EXPECT_EQ(runtime::file_channel_table().channels[0].position, 6u);
    EXPECT_EQ(runtime::file_channel_table().channels[0].size, 5u);
    EXPECT_EXIT(line_of(0), ::testing::ExitedWithCode(3), "stopped: code 3");
}

TEST_F(FileChannels, EmptyFileIsAtItsEndAtOnce) {
    make_file(path("e.txt"), "");
    ASSERT_EQ(runtime::open_file_channel(1, path("e.txt").c_str(), 1), 1);
    EXPECT_EQ(runtime::end_of_file(1), 1);
    EXPECT_EXIT(line_of(1), ::testing::ExitedWithCode(3), "stopped: code 3");
}

TEST_F(FileChannels, LineOf1024CharactersLeavesItsLineFeedForTheNextCall) {
    std::string long_line(1024, 'x');
    make_file(path("l.txt"), long_line + "\nnext\n");
    ASSERT_EQ(runtime::open_file_channel(0, path("l.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), long_line);
    EXPECT_EQ(line_of(0), "");
    EXPECT_EQ(line_of(0), "next");
    EXPECT_EQ(runtime::end_of_file(0), 1);
}

TEST_F(FileChannels, LongLineArrivesIn1024BytePieces) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += static_cast<char>('a' + i % 26);
    make_file(path("l.txt"), text + "\r\n");
    ASSERT_EQ(runtime::open_file_channel(0, path("l.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), text.substr(0, 1024));
    EXPECT_EQ(line_of(0), text.substr(1024));
    EXPECT_EQ(runtime::end_of_file(0), 1);
}

TEST_F(FileChannels, CarriageReturnAtAChunkEndStillGoes) {
    std::string first(63, 'q');
    make_file(path("c.txt"), first + "\r\nz");
    ASSERT_EQ(runtime::open_file_channel(0, path("c.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), first);
    EXPECT_EQ(line_of(0), "z");
}

TEST_F(FileChannels, LoneCarriageReturnStaysAndZeroByteEndsTheString) {
    make_file(path("c.txt"), std::string("a\rb\nxy\0zz\nend", 14));
    ASSERT_EQ(runtime::open_file_channel(0, path("c.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), "a\rb");
    EXPECT_EQ(line_of(0), "xy");
    EXPECT_EQ(line_of(0), "end");
}

// Without the mend a last line of 64 (128, ...) bytes with no line end would stop the
// program: its next chunk delivers nothing.
TEST_F(FileChannels, LastLineOfAWholeNumberOfChunksEndsNormally) {
    for (size_t n : {64u, 128u, 960u}) {
        std::string last(n, 'k');
        make_file(path("m.txt"), "first\n" + last);
        ASSERT_EQ(runtime::open_file_channel(2, path("m.txt").c_str(), 1), 1);
        EXPECT_EQ(line_of(2), "first");
        EXPECT_EQ(line_of(2), last) << n;
        EXPECT_EQ(runtime::end_of_file(2), 1);
        EXPECT_EQ(runtime::file_channel_table().channels[2].position, 6 + n + 1);
        runtime::close_file_channel(2);
    }
    make_file(path("m.txt"), std::string(64, 'k'));
    ASSERT_EQ(runtime::open_file_channel(2, path("m.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(2), std::string(64, 'k'));
    EXPECT_EXIT(line_of(2), ::testing::ExitedWithCode(3), "stopped: code 3");
}

TEST_F(FileChannels, LastLineWithTrailingCarriageReturnLosesIt) {
    make_file(path("r.txt"), "one\r");
    ASSERT_EQ(runtime::open_file_channel(0, path("r.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), "one");
}

TEST_F(FileChannels, ReadLineNumberConvertsTheLine) {
    make_file(path("n.txt"), "12.5\r\n-3\n");
    ASSERT_EQ(runtime::open_file_channel(0, path("n.txt").c_str(), 1), 1);
    double v = 0;
    runtime::read_line_number(0, v);
    EXPECT_EQ(v, 12.5);
    runtime::read_line_number(0, v);
    EXPECT_EQ(v, -3);
}

TEST_F(FileChannels, WrittenValuesAreLittleEndianWithTheirTruncations) {
    ASSERT_EQ(runtime::open_file_channel(3, path("w.bin").c_str(), 0), 1);
    runtime::write_byte(3, 300);
    runtime::write_byte(3, 70000);
    runtime::write_byte(3, -1);
    runtime::write_byte(3, 7.9);
    runtime::write_word(3, 65537);
    runtime::write_word(3, -2);
    runtime::write_long(3, 16909060);  // 0x01020304
    runtime::write_long(3, 5e9);       // out of range: the 32-bit minimum
    runtime::write_double(3, 1.5);
    runtime::write_text(3, DynString("hi"));
    runtime::write_line(3, DynString(""));
    runtime::write_line(3, DynString("ok"));
    runtime::write_line_number(3, 0.5);
    runtime::close_file_channel(3);
    const unsigned char expected[] = {44, 0, 255, 7, 1, 0, 0xFE, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0x80,
                                      0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 'h', 'i', '\r', '\n', 'o', 'k',
                                      '\r', '\n', '0', '.', '5', '\r', '\n'};
    EXPECT_EQ(read_file(path("w.bin")), std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST_F(FileChannels, FixedSizeReadsDeliverUnsignedValues) {
    const unsigned char bytes[] = {255, 255, 255, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 9};
    make_file(path("r.bin"), std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    ASSERT_EQ(runtime::open_file_channel(7.9, path("r.bin").c_str(), 1), 1);
    double v = 0;
    runtime::read_byte(7, v);
    EXPECT_EQ(v, 255);
    runtime::read_word(7, v);
    EXPECT_EQ(v, 65535);
    runtime::read_long(7, v);
    EXPECT_EQ(v, 4294967295.0);
    runtime::read_double(7, v);
    EXPECT_EQ(v, 1.5);
    EXPECT_EQ(runtime::end_of_file(7), 0);
    EXPECT_EQ(runtime::file_channel_table().channels[7].position, 15u);
    EXPECT_EXIT(runtime::read_word(7, v), ::testing::ExitedWithCode(3), "stopped: code 3");
}

TEST_F(FileChannels, ReadBytesTextStopsAtAZeroAndCountsAll) {
    make_file(path("b.bin"), std::string("abc\0def" "ghi", 10));
    ASSERT_EQ(runtime::open_file_channel(0, path("b.bin").c_str(), 1), 1);
    DynString s("old");
    runtime::read_bytes_text(0, 7, s);
    EXPECT_STREQ(s.text_of(), "abc");
    EXPECT_EQ(s.length, 3);
    EXPECT_EQ(runtime::file_channel_table().channels[0].position, 7u);
    // A count of 0 or less does not even look at the channel number.
    runtime::read_bytes_text(99, 0, s);
    EXPECT_EQ(s.length, 0);
    // More than the file holds stops before anything of that size is allocated.
    EXPECT_EXIT(runtime::read_bytes_text(0, 2e9, s), ::testing::ExitedWithCode(3), "stopped: code 3");
    runtime::read_bytes_text(0, 3, s);
    EXPECT_STREQ(s.text_of(), "ghi");
}

TEST_F(FileChannels, WriteModeEmptiesAnExistingFile) {
    make_file(path("old.txt"), "previous content");
    ASSERT_EQ(runtime::open_file_channel(0, path("old.txt").c_str(), 0), 1);
    EXPECT_EQ(read_file(path("old.txt")), "");
    EXPECT_EQ(runtime::end_of_file(0), 1);
}

TEST_F(FileChannels, BackslashesReachTheSystemAsSlashes) {
    std::filesystem::create_directory(dir.path() / "sub");
    make_file(path("sub/f.txt"), "inside\n");
    std::string name = dir.path().string() + "\\sub\\f.txt";
    ASSERT_EQ(runtime::open_file_channel(0, name.c_str(), 1), 1);
    EXPECT_EQ(line_of(0), "inside");
}

TEST_F(FileChannels, ReopeningAChannelClosesTheOldFile) {
    make_file(path("a.txt"), "a\n");
    make_file(path("b.txt"), "b\n");
    ASSERT_EQ(runtime::open_file_channel(0, path("a.txt").c_str(), 1), 1);
    ASSERT_EQ(runtime::open_file_channel(0, path("b.txt").c_str(), 1), 1);
    EXPECT_EQ(line_of(0), "b");
    EXPECT_EQ(runtime::file_exists(DynString(path("a.txt").c_str())), 1);
}

TEST(FileChannelFailures, BadChannelNumbersStopWithCode7) {
    EXPECT_EXIT(runtime::open_file_channel(8, "x", 1), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EXIT(runtime::open_file_channel(-1, "x", 1), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EXIT(runtime::close_file_channel(8), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EXIT(runtime::write_byte(12, 1), ::testing::ExitedWithCode(7), "stopped: code 7");
    EXPECT_EXIT(runtime::end_of_file(8), ::testing::ExitedWithCode(7), "stopped: code 7");
    double v = 0;
    EXPECT_EXIT(runtime::read_byte(0.0 / 0.0, v), ::testing::ExitedWithCode(7), "stopped: code 7");
}

TEST_F(FileChannels, ClosedAndWrongWayChannelsStopWithCode3) {
    double v = 0;
    EXPECT_EXIT(runtime::read_byte(4, v), ::testing::ExitedWithCode(3), "stopped: code 3");
    EXPECT_EXIT(runtime::write_byte(4, 1), ::testing::ExitedWithCode(3), "stopped: code 3");
    make_file(path("r.txt"), "data\n");
    ASSERT_EQ(runtime::open_file_channel(4, path("r.txt").c_str(), 1), 1);
    EXPECT_EXIT(runtime::write_line(4, DynString("x")), ::testing::ExitedWithCode(3), "stopped: code 3");
    ASSERT_EQ(runtime::open_file_channel(5, path("w.txt").c_str(), 0), 1);
    runtime::write_line(5, DynString("written"));
    EXPECT_EXIT(runtime::read_byte(5, v), ::testing::ExitedWithCode(3), "stopped: code 3");
    DynString s;
    EXPECT_EXIT(runtime::read_line(5, s), ::testing::ExitedWithCode(3), "stopped: code 3");
}

TEST_F(FileChannels, OpenFailuresGiveZeroAndLeaveTheChannelClosed) {
    EXPECT_EQ(runtime::open_file_channel(0, path("missing.txt").c_str(), 1), 0);
    EXPECT_EQ(runtime::end_of_file(0), 1);
    EXPECT_EQ(runtime::open_file_channel(0, dir.path().c_str(), 1), 0);  // a folder
    std::string too_long(1024, 'n');
    EXPECT_EQ(runtime::open_file_channel(0, too_long.c_str(), 1), 0);
    EXPECT_EQ(runtime::open_file_channel(0, too_long.c_str(), 0), 0);
    EXPECT_FALSE(runtime::file_channel_table().channels[0].handle.is_open());
    EXPECT_EQ(runtime::open_file_channel(0, "", 1), 0);
    EXPECT_EQ(runtime::close_file_channel(0), 0);
}

// Reads a channel the way the runtime first did: 64-byte reads into the line
// and a seek back over the unused part, straight on the descriptor.
namespace {

struct ReferenceReader {
    int fd = -1;
    uint32_t position = 0;
    uint32_t size = 0;

    // Returns false where the runtime would stop with code 3.
    bool read_line(std::string& out) {
        char buf[1100] = {};
        uint32_t total = 0;
        while (total < 1024) {
            ssize_t got = ::read(fd, buf + total, 64);
            if (got < 0) return false;
            if (got == 0) {
                if (total == 0) return false;
                lseek(fd, 1, SEEK_CUR);  // the mended end: as if a line feed were consumed
                position += 1;
                buf[total] = 0;
                if (total > 0 && buf[total - 1] == '\r') buf[total - 1] = 0;
                out = std::string(buf);
                return true;
            }
            position += static_cast<uint32_t>(got);
            if (got < 64) buf[total + got] = '\n';
            uint32_t limit = total + static_cast<uint32_t>(got) + (got < 64 ? 1 : 0);
            for (uint32_t i = total; i < limit; ++i) {
                if (buf[i] != '\n') continue;
                int64_t back = static_cast<int64_t>(total + got) - (i + 1);
                lseek(fd, -back, SEEK_CUR);
                position -= static_cast<uint32_t>(back);
                buf[i] = 0;
                if (i > 0 && buf[i - 1] == '\r') buf[i - 1] = 0;
                out = std::string(buf);
                return true;
            }
            total += static_cast<uint32_t>(got);
        }
        out = std::string(buf, strnlen(buf, 1024));
        return true;
    }
    bool read_bytes(size_t n, std::string& out) {
        position += static_cast<uint32_t>(n);
        out.resize(n);
        return ::read(fd, out.data(), n) == static_cast<ssize_t>(n);
    }
};

std::string random_text(std::mt19937& rng) {
    std::string text;
    size_t lines = rng() % 60;
    for (size_t i = 0; i < lines; ++i) {
        size_t kind = rng() % 10;
        size_t n = kind == 0 ? 1024 + rng() % 200 : kind == 1 ? 64 * (rng() % 3) : rng() % 90;
        for (size_t k = 0; k < n; ++k) {
            unsigned r = static_cast<unsigned>(rng() % 50);
            text += r == 0 ? '\r' : r == 1 ? '\0' : static_cast<char>('a' + r % 26);
        }
        unsigned end = rng() % 4;
        text += end == 0 ? "\r\n" : end == 1 ? "\r" : "\n";
    }
    if (rng() % 2) text += std::string(rng() % 3 ? 64 : 5, 'z');
    return text;
}

}  // namespace

TEST_F(FileChannels, ReadAheadGivesTheSameResultsAsChunkedReads) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 150; ++round) {
        std::string text = random_text(rng);
        // Some files span several read-ahead windows, so lines cross window borders.
        bool big = round % 15 == 0;
        while (big && text.size() < 3 * runtime::CHANNEL_BUFFER_SIZE) text += random_text(rng);
        make_file(path("r.txt"), text);
        ASSERT_EQ(runtime::open_file_channel(6, path("r.txt").c_str(), 1), 1);
        ReferenceReader ref;
        ref.fd = ::open(path("r.txt").c_str(), O_RDONLY);
        ref.size = static_cast<uint32_t>(text.size());
        ASSERT_GE(ref.fd, 0);
        for (int step = 0; step < (big ? 40000 : 400); ++step) {
            std::string expected;
            unsigned op = static_cast<unsigned>(rng() % 6);
            if (op < 4) {
                if (!ref.read_line(expected)) break;
                DynString got;
                runtime::read_line(6, got);
                ASSERT_EQ(std::string(got.text_of(), static_cast<size_t>(got.length)), expected)
                    << "round " << round << " step " << step;
            } else {
                size_t n = op == 4 ? 1 : 1 + rng() % 100;
                if (!ref.read_bytes(n, expected)) break;
                DynString got;
                runtime::read_bytes_text(6, static_cast<double>(n), got);
                ASSERT_EQ(std::string(got.text_of()), std::string(expected.c_str()));
            }
            ASSERT_EQ(runtime::file_channel_table().channels[6].position, ref.position);
            ASSERT_EQ(runtime::end_of_file(6), ref.position >= ref.size ? 1 : 0);
        }
        if (big) {
            EXPECT_GT(ref.position, 2 * runtime::CHANNEL_BUFFER_SIZE) << "round " << round;
        }
        ::close(ref.fd);
        runtime::close_file_channel(6);
    }
}
