// Links: runtime_sound
// WAV files from memory, then into a sound buffer of the audio output (SDL's dummy driver):
// a loaded file's data lies inside it and only its promised bytes count (cut after its data
// it loads the same, cut inside it fails); the samples are its frames widened to 16-bit
// stereo; the device takes them whole, at its own rate.
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "runtime/platform/audio.h"
#include "runtime/sound/wave_file.h"
#include "support/fuzz_support.h"

namespace {

using runtime::WaveInfo;
using runtime::WaveStatus;

bool same(const WaveInfo& a, const WaveInfo& b) {
    return a.status == b.status && a.file_channels == b.file_channels && a.channels == b.channels &&
           a.rate == b.rate && a.block_align == b.block_align && a.bits == b.bits && a.data_offset == b.data_offset &&
           a.data_size == b.data_size && a.frames == b.frames;
}

int16_t plain_sample(const uint8_t* at, uint16_t bits) {
    return bits == 8 ? static_cast<int16_t>((at[0] - 128) * 256) : static_cast<int16_t>(at[0] | at[1] << 8);
}

int output_rate() {
    static const int rate = [] {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::string reason;
        if (!runtime::platform::open_audio_output(runtime::platform::AudioUser::SOUND, reason)) {
            std::fprintf(stderr, "fuzz: no audio output: %s\n", reason.c_str());
            std::abort();
        }
        return runtime::platform::audio_output_format().rate;
    }();
    return rate;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const WaveInfo info = runtime::parse_wave(file);
    const std::vector<int16_t> samples = runtime::wave_stereo_samples(info, file);
    if (info.status != WaveStatus::OK) {
        fuzz::require(samples.empty(), "a refused file gives no samples");
        return 0;
    }
    fuzz::require(info.data_offset <= size && info.data_size <= size - info.data_offset, "the data lies in the file");
    fuzz::require((info.bits == 8 || info.bits == 16) && info.rate >= runtime::WAVE_RATE_MIN &&
                      info.rate <= runtime::WAVE_RATE_MAX && info.file_channels > 0 &&
                      info.channels == (info.file_channels >= 2 ? 2 : 1) &&
                      info.block_align >= info.channels * info.bits / 8,
                  "a loaded format is one the buffer takes");
    fuzz::require(info.frames > 0 && info.frames == info.data_size / info.block_align, "whole frames of the data");
    const size_t end = info.data_offset + info.data_size;
    fuzz::require(same(runtime::parse_wave(file.first(end)), info), "bytes after the data do not count");
    fuzz::require(runtime::parse_wave(file.first(end - 1)).status != WaveStatus::OK, "a cut in the data fails");

    fuzz::require(samples.size() == 2 * info.frames, "two samples a frame");
    for (size_t f = 0; f < info.frames; ++f) {
        const uint8_t* frame = data + info.data_offset + f * info.block_align;
        const int16_t left = plain_sample(frame, info.bits);
        const int16_t right = info.channels == 2 ? plain_sample(frame + info.bits / 8, info.bits) : left;
        fuzz::require(samples[2 * f] == left && samples[2 * f + 1] == right, "frames widened to 16-bit stereo");
    }

    const int rate = output_rate();
    std::string reason;
    runtime::platform::SoundBuffer* buffer =
        runtime::platform::create_sound_buffer(samples.data(), info.frames, static_cast<int>(info.rate), reason);
    const double expected = static_cast<double>(info.frames) * rate / info.rate;
    if (buffer == nullptr) {
        fuzz::require(expected < 2, "the device takes every loaded file of two output frames or more");
        return 0;
    }
    const double got = static_cast<double>(runtime::platform::sound_buffer_frames(buffer));
    fuzz::require(info.rate == static_cast<uint32_t>(rate) ? got == expected : std::fabs(got - expected) <= 2 + expected / 1000,
                  "the buffer lasts as long as the file at the output's rate");
    runtime::platform::free_sound_buffer(buffer);
    return 0;
}
