// WAV header walk and sample widening on a memory buffer. The RIFF, WAVE and "fmt "
// tags are not examined and the format tag is taken as PCM whatever it says, as the
// files this runtime has always loaded expect.
#include "runtime/sound/wave_file.h"

#include <cstring>

namespace runtime {

namespace {

constexpr size_t HEADER_BYTES = 36;       // RIFF header, "fmt " header, 16 format bytes
constexpr size_t FORMAT_BODY_START = 20;  // first byte of the format chunk's body
constexpr size_t CHUNK_HEADER_BYTES = 8;
constexpr uint32_t PLAIN_FORMAT_SIZE = 16;
// A larger format chunk has always been passed over by 14 bytes: such files keep
// loading, while files whose chunk size is right are found by that size first.
constexpr size_t LEGACY_FORMAT_SKIP = 14;

uint16_t u16_at(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t u32_at(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool has_chunk_header(std::span<const uint8_t> b, size_t at) {
    return at <= b.size() && b.size() - at >= CHUNK_HEADER_BYTES;
}

bool tag_at(std::span<const uint8_t> b, size_t at, const char (&tag)[5]) {
    return std::memcmp(b.data() + at, tag, 4) == 0;
}

// From a chunk header on: one "fact" chunk may come first, then "data" must.
WaveStatus find_data(std::span<const uint8_t> b, size_t at, WaveInfo& info) {
    if (!has_chunk_header(b, at)) return WaveStatus::TRUNCATED;
    if (tag_at(b, at, "fact")) {
        const uint32_t size = u32_at(b, at + 4);
        if (size > WAVE_FACT_LIMIT) return WaveStatus::FACT_TOO_LARGE;
        at += CHUNK_HEADER_BYTES + size;
        if (!has_chunk_header(b, at)) return WaveStatus::TRUNCATED;
    }
    if (!tag_at(b, at, "data")) return WaveStatus::NO_DATA;
    info.data_offset = at + CHUNK_HEADER_BYTES;
    info.data_size = u32_at(b, at + 4);
    // Every byte the header promises must be there: nothing is read or kept past the end.
    if (info.data_size > b.size() - info.data_offset) return WaveStatus::TRUNCATED;
    return WaveStatus::OK;
}

bool follows_fact_or_data(std::span<const uint8_t> b, size_t at) {
    return has_chunk_header(b, at) && (tag_at(b, at, "fact") || tag_at(b, at, "data"));
}

WaveStatus check_format(const WaveInfo& info) {
    const bool bits_ok = info.bits == 8 || info.bits == 16;
    if (info.file_channels == 0 || info.block_align == 0 || !bits_ok ||
        info.rate < WAVE_RATE_MIN || info.rate > WAVE_RATE_MAX)
        return WaveStatus::BAD_FORMAT;
    // A frame must hold the samples of the channels kept.
    if (info.block_align < info.channels * (info.bits / 8)) return WaveStatus::BAD_FORMAT;
    return WaveStatus::OK;
}

int16_t sample_at(std::span<const uint8_t> b, size_t at, uint16_t bits) {
    if (bits == 8) return static_cast<int16_t>((b[at] - 128) * 256);
    return static_cast<int16_t>(u16_at(b, at));
}

}  // namespace

WaveInfo parse_wave(std::span<const uint8_t> file) {
    WaveInfo info;
    if (file.size() < HEADER_BYTES) return info;
    const uint32_t format_size = u32_at(file, 16);
    info.file_channels = u16_at(file, 22);
    info.channels = info.file_channels >= 2 ? 2 : 1;
    info.rate = u32_at(file, 24);
    info.block_align = u16_at(file, 32);
    info.bits = u16_at(file, 34);

    size_t next = HEADER_BYTES;
    if (format_size != PLAIN_FORMAT_SIZE) {
        // RIFF pads a chunk of odd size with one byte.
        const uint64_t declared = FORMAT_BODY_START + uint64_t{format_size} + (format_size & 1u);
        next = format_size > PLAIN_FORMAT_SIZE && declared <= file.size() &&
                       follows_fact_or_data(file, static_cast<size_t>(declared))
                   ? static_cast<size_t>(declared)
                   : HEADER_BYTES + LEGACY_FORMAT_SKIP;
    }
    info.status = find_data(file, next, info);
    if (info.status != WaveStatus::OK) return info;
    info.status = check_format(info);
    if (info.status != WaveStatus::OK) return info;
    info.frames = info.data_size / info.block_align;
    if (info.frames == 0) info.status = WaveStatus::EMPTY;
    return info;
}

std::vector<int16_t> wave_stereo_samples(const WaveInfo& info, std::span<const uint8_t> file) {
    std::vector<int16_t> out;
    if (info.status != WaveStatus::OK || info.block_align == 0 || info.data_offset > file.size() ||
        info.frames > (file.size() - info.data_offset) / info.block_align)
        return out;
    out.resize(info.frames * 2);
    const size_t bytes = info.bits / 8;
    for (size_t f = 0; f < info.frames; ++f) {
        const size_t at = info.data_offset + f * info.block_align;
        const int16_t left = sample_at(file, at, info.bits);
        out[2 * f] = left;
        out[2 * f + 1] = info.channels == 2 ? sample_at(file, at + bytes, info.bits) : left;
    }
    return out;
}

}  // namespace runtime
