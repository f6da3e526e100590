// Encoding and checked decoding of session frames and player records.
#include "runtime/net/frame.h"

#include <algorithm>
#include <cstring>

namespace runtime {

namespace {

constexpr char MAGIC[4] = {'T', 'S', 'Y', 'N'};
constexpr size_t LENGTH_AT = 5;
constexpr size_t TARGET_AT = 9;
constexpr size_t SENDER_AT = 13;
constexpr size_t RECORD_HIDDEN_AT = 8;
constexpr size_t RECORD_HOST_AT = 9;
constexpr size_t RECORD_NAME_AT = 10;

int32_t get_int(const uint8_t* at) {
    const uint32_t v = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                       static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
    return static_cast<int32_t>(v);
}

void put_int(uint8_t* at, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

Frame make_frame(uint8_t type, int32_t target, int32_t sender, std::string payload) {
    Frame frame;
    frame.type = type;
    frame.target = target;
    frame.sender = sender;
    frame.payload = std::move(payload);
    return frame;
}

FrameParse parse_frame(std::span<const uint8_t> bytes) {
    FrameParse result;
    if (bytes.size() < FRAME_HEADER_SIZE) {
        result.error = FrameError::SHORT_HEADER;
        return result;
    }
    if (std::memcmp(bytes.data(), MAGIC, sizeof MAGIC) != 0) {
        result.error = FrameError::BAD_MAGIC;
        return result;
    }
    const int32_t length = get_int(bytes.data() + LENGTH_AT);
    if (length < 0 || static_cast<size_t>(length) > FRAME_MAX_PAYLOAD) {
        result.error = FrameError::BAD_LENGTH;
        return result;
    }
    if (static_cast<size_t>(length) > bytes.size() - FRAME_HEADER_SIZE) {
        result.error = FrameError::TRUNCATED;
        return result;
    }
    result.frame.type = bytes[4];
    result.frame.target = get_int(bytes.data() + TARGET_AT);
    result.frame.sender = get_int(bytes.data() + SENDER_AT);
    const char* payload = reinterpret_cast<const char*>(bytes.data() + FRAME_HEADER_SIZE);
    result.frame.payload.assign(payload, static_cast<size_t>(length));
    return result;
}

size_t encode_frame(const Frame& frame, uint8_t (&out)[FRAME_MAX_SIZE]) {
    if (frame.payload.size() > FRAME_MAX_PAYLOAD) return 0;
    std::memcpy(out, MAGIC, sizeof MAGIC);
    out[4] = frame.type;
    put_int(out + LENGTH_AT, static_cast<int32_t>(frame.payload.size()));
    put_int(out + TARGET_AT, frame.target);
    put_int(out + SENDER_AT, frame.sender);
    if (!frame.payload.empty())
        std::memcpy(out + FRAME_HEADER_SIZE, frame.payload.data(), frame.payload.size());
    return FRAME_HEADER_SIZE + frame.payload.size();
}

std::string int_payload(int32_t value) {
    uint8_t bytes[4];
    put_int(bytes, value);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

bool read_int_payload(const Frame& frame, int32_t& value) {
    if (frame.payload.size() < 4) return false;
    value = get_int(reinterpret_cast<const uint8_t*>(frame.payload.data()));
    return true;
}

std::string payload_text(const Frame& frame) {
    return std::string(frame.payload.c_str(), std::strlen(frame.payload.c_str()));
}

std::string encode_registration(const Registration& registration) {
    uint8_t record[PLAYER_RECORD_SIZE] = {};
    put_int(record, -1);  // the socket: only the host knows it
    put_int(record + 4, -1);
    record[RECORD_HIDDEN_AT] = registration.hidden ? 1 : 0;
    record[RECORD_HOST_AT] = registration.host_flag ? 1 : 0;
    const size_t n = std::min(registration.name.size(), PLAYER_NAME_SIZE - 1);
    std::memcpy(record + RECORD_NAME_AT, registration.name.data(), n);
    return std::string(reinterpret_cast<const char*>(record), sizeof record);
}

Registration decode_registration(std::string_view payload) {
    char record[PLAYER_RECORD_SIZE] = {};
    if (!payload.empty()) std::memcpy(record, payload.data(), std::min(payload.size(), sizeof record));
    Registration registration;
    registration.hidden = record[RECORD_HIDDEN_AT] != 0;
    registration.host_flag = record[RECORD_HOST_AT] != 0;
    const char* name = record + RECORD_NAME_AT;
    registration.name.assign(name, strnlen(name, PLAYER_NAME_SIZE - 1));
    return registration;
}

}  // namespace runtime
