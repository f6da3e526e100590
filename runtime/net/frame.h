// The message frame every program of a session speaks: the letters "TSYN", a type
// byte, three little-endian int32 (payload length, target, sender) and up to 1024
// payload bytes; and the 152-byte player record that a registration carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace runtime {

constexpr size_t FRAME_HEADER_SIZE = 17;
constexpr size_t FRAME_MAX_PAYLOAD = 1024;
constexpr size_t FRAME_MAX_SIZE = FRAME_HEADER_SIZE + FRAME_MAX_PAYLOAD;

enum FrameType : uint8_t {
    FRAME_REGISTER = 1,     // a new player's record, joining program -> host
    FRAME_PLAYER_ID = 2,    // the id for the oldest waiting registration, host -> program
    FRAME_MESSAGE = 3,      // a user message
    FRAME_LEAVE = 4,        // `sender` leaves
    FRAME_COUNT = 101,      // requests and their replies
    FRAME_NTH_PLAYER = 102,
    FRAME_NAME = 103,
    FRAME_GREETING = 104,
};
constexpr int32_t TARGET_EVERYBODY = -1;

struct Frame {
    uint8_t type = 0;
    int32_t target = 0;
    int32_t sender = 0;
    std::string payload;  // its size is the length field
};

Frame make_frame(uint8_t type, int32_t target, int32_t sender, std::string payload = {});

enum class FrameError { NONE, SHORT_HEADER, BAD_MAGIC, BAD_LENGTH, TRUNCATED };
struct FrameParse {
    FrameError error = FrameError::NONE;
    Frame frame;
};
// One frame from the bytes of one datagram; nothing past `bytes` is read. A length
// that is negative, above 1024 or beyond the bytes that arrived refuses the frame.
FrameParse parse_frame(std::span<const uint8_t> bytes);
// Writes the frame into `out`; its size, or 0 when the payload is too long.
size_t encode_frame(const Frame& frame, uint8_t (&out)[FRAME_MAX_SIZE]);

// Payloads of one int32, and reading one back (false when the payload is shorter).
std::string int_payload(int32_t value);
bool read_int_payload(const Frame& frame, int32_t& value);
// The payload as text: up to its first zero byte.
std::string payload_text(const Frame& frame);

constexpr size_t PLAYER_RECORD_SIZE = 152;
constexpr size_t PLAYER_NAME_SIZE = 128;

struct Registration {
    bool hidden = false;
    bool host_flag = false;
    std::string name;  // at most PLAYER_NAME_SIZE - 1 bytes
};
// The record a registration carries: socket -1, id -1, the two flags, the name.
std::string encode_registration(const Registration& registration);
// Reads a record back from a payload of any size; missing bytes count as zero.
Registration decode_registration(std::string_view payload);

}  // namespace runtime
