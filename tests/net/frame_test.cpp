// Frames and player records from raw bytes: what is accepted, what is refused, and
// that nothing past the bytes that arrived is read.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/net/frame.h"

using namespace runtime;

namespace {

std::vector<uint8_t> bytes_of(const Frame& frame) {
    uint8_t out[FRAME_MAX_SIZE];
    const size_t n = encode_frame(frame, out);
    return std::vector<uint8_t>(out, out + n);
}

TEST(Frame, ParseAcceptsOnlyWholeFramesWithTheMagic) {
    const std::vector<uint8_t> good = bytes_of(make_frame(FRAME_MESSAGE, -1, 101, "hi"));
    auto with = [&](size_t at, std::vector<uint8_t> patch, size_t keep = SIZE_MAX) {
        std::vector<uint8_t> b = good;
        std::copy(patch.begin(), patch.end(), b.begin() + static_cast<long>(at));
        b.resize(std::min(keep, b.size()));
        return b;
    };
    std::vector<uint8_t> extra = good;
    extra.push_back('!');
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        FrameError error;
    } cases[] = {
        {"whole", good, FrameError::NONE},
        {"trailing bytes ignored", extra, FrameError::NONE},
        {"empty payload", bytes_of(make_frame(FRAME_LEAVE, 0, 7)), FrameError::NONE},
        {"largest payload", bytes_of(make_frame(3, 1, 2, std::string(1024, 'x'))), FrameError::NONE},
        {"header cut", with(0, {}, 16), FrameError::SHORT_HEADER},
        {"bad magic", with(3, {'X'}), FrameError::BAD_MAGIC},
        {"negative length", with(5, {0xFE, 0xFF, 0xFF, 0xFF}), FrameError::BAD_LENGTH},
        {"length 1025", with(5, {0x01, 0x04, 0, 0}), FrameError::BAD_LENGTH},
        {"payload cut", with(0, {}, 18), FrameError::TRUNCATED},
    };
    for (const auto& c : cases) {
        // An exact-size copy: a read past its end is caught by the sanitizer build.
        const std::vector<uint8_t> exact(c.bytes);
        EXPECT_EQ(parse_frame(exact).error, c.error) << c.name;
    }
    const Frame f = parse_frame(good).frame;
    EXPECT_EQ(f.type, FRAME_MESSAGE);
    EXPECT_EQ(f.target, -1);
    EXPECT_EQ(f.sender, 101);
    EXPECT_EQ(f.payload, "hi");
    EXPECT_EQ(good[5], 2);  // little-endian length
    uint8_t out[FRAME_MAX_SIZE];
    EXPECT_EQ(encode_frame(make_frame(3, 1, 2, std::string(1025, 'x')), out), 0u);
}

TEST(Frame, PayloadTextAndNumbers) {
    Frame f = make_frame(FRAME_MESSAGE, 1, 2, std::string("ab\0cd", 5));
    EXPECT_EQ(payload_text(f), "ab");
    int32_t value = 0;
    EXPECT_FALSE(read_int_payload(f = make_frame(FRAME_COUNT, 0, 0, "abc"), value));
    EXPECT_TRUE(read_int_payload(f = make_frame(FRAME_COUNT, 0, 0, int_payload(-5)), value));
    EXPECT_EQ(value, -5);
}

TEST(Frame, RegistrationRecordsReadBackWithinTheirBounds) {
    const std::string record = encode_registration({true, true, "Zed"});
    ASSERT_EQ(record.size(), PLAYER_RECORD_SIZE);
    const Registration back = decode_registration(record);
    EXPECT_TRUE(back.hidden && back.host_flag);
    EXPECT_EQ(back.name, "Zed");
    // A short record, and one whose name has no terminator, stay inside their bytes.
    EXPECT_EQ(decode_registration(record.substr(0, 11)).name, "Z");
    std::string unterminated(PLAYER_RECORD_SIZE, 'n');
    EXPECT_EQ(decode_registration(unterminated).name.size(), PLAYER_NAME_SIZE - 1);
    EXPECT_EQ(decode_registration("").name, "");
}

}  // namespace
