// WAV files read from memory: the header walk the sound slots rely on (36 bytes of
// RIFF and format, an optional "fact" chunk, then "data") and the samples as 16-bit
// stereo. Everything is checked against the buffer, so damaged input just fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace runtime {

// The "fact" chunk body is skipped through a work area of this size; longer ones fail.
constexpr uint32_t WAVE_FACT_LIMIT = 1024;
// Sample rates a sound buffer takes.
constexpr uint32_t WAVE_RATE_MIN = 100;
constexpr uint32_t WAVE_RATE_MAX = 200000;

enum class WaveStatus {
    OK,
    TRUNCATED,       // the header or the data runs past the end of the buffer
    FACT_TOO_LARGE,  // a "fact" body longer than WAVE_FACT_LIMIT
    NO_DATA,         // the chunk after the format (and "fact") is not "data"
    BAD_FORMAT,      // no channels, no block align, bits other than 8 or 16, rate out of range
    EMPTY,           // not one whole frame of samples
};

struct WaveInfo {
    WaveStatus status = WaveStatus::TRUNCATED;
    uint16_t file_channels = 0;
    uint16_t channels = 0;  // the buffer's: 2 when the file has 2 or more, else 1
    uint32_t rate = 0;
    uint16_t block_align = 0;
    uint16_t bits = 0;
    size_t data_offset = 0;  // where the samples start in the buffer
    uint32_t data_size = 0;  // as the "data" header gives it
    size_t frames = 0;       // whole frames of block_align bytes in the data
};

// Walks the header of a WAV file held in memory.
WaveInfo parse_wave(std::span<const uint8_t> file);
// The frames of a parsed file as interleaved 16-bit stereo (mono on both sides, 8-bit
// samples widened, channels past the second dropped). Empty unless info.status is OK.
std::vector<int16_t> wave_stereo_samples(const WaveInfo& info, std::span<const uint8_t> file);

}  // namespace runtime
