// WAV files built byte by byte, and a sound system on SDL's disk audio driver that records
// everything the device played into a file of the test's own folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/sound/sound.h"
#include "support/temp_dir.h"

namespace runtime::sound_test {

struct WaveSpec {
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    int block_align = -1;      // -1: channels * bits / 8
    uint32_t format_size = 16;
    int format_extra = -1;     // bytes after the 16 format bytes; -1: format_size - 16
    int fact_size = -1;        // -1: no "fact" chunk
    const char* data_tag = "data";
    int64_t data_size = -1;    // -1: the sample bytes' length
    std::string samples;       // the bytes of the data chunk
};

inline void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

inline std::string make_wave(const WaveSpec& w) {
    const uint16_t align = w.block_align >= 0 ? static_cast<uint16_t>(w.block_align)
                                              : static_cast<uint16_t>(w.channels * w.bits / 8);
    std::string s = "RIFF";
    put32(s, 0);  // not examined
    s += "WAVEfmt ";
    put32(s, w.format_size);
    put16(s, 1);
    put16(s, w.channels);
    put32(s, w.rate);
    put32(s, w.rate * align);
    put16(s, align);
    put16(s, w.bits);
    const int extra = w.format_extra >= 0 ? w.format_extra : static_cast<int>(w.format_size) - 16;
    s.append(static_cast<size_t>(extra), '\0');
    if (w.fact_size >= 0) {
        s += "fact";
        put32(s, static_cast<uint32_t>(w.fact_size));
        s.append(static_cast<size_t>(w.fact_size), '\x11');
    }
    s += w.data_tag;
    put32(s, w.data_size >= 0 ? static_cast<uint32_t>(w.data_size) : static_cast<uint32_t>(w.samples.size()));
    return s + w.samples;
}

// 16-bit mono samples as the bytes of a data chunk.
inline std::string pcm16(const std::vector<int16_t>& samples) {
    std::string s;
    for (int16_t v : samples) put16(s, static_cast<uint16_t>(v));
    return s;
}

// A cosine of full amplitude, 50 frames per period at 22050 (every period starts on a peak).
inline std::vector<int16_t> full_scale_tone(size_t frames) {
    std::vector<int16_t> out(frames);
    for (size_t i = 0; i < frames; ++i)
        out[i] = static_cast<int16_t>(std::lround(32767.0 * std::cos(2.0 * M_PI * static_cast<double>(i) / 50.0)));
    return out;
}

// Polls until the condition holds; false after a generous bound.
inline bool eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct Frame {
    int16_t left = 0;
    int16_t right = 0;
};

// A started sound system whose device records into the test's folder.
class RecordedSound : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", temp_.path().c_str(), 1);
        ASSERT_TRUE(start_recording("out.raw"));
    }
    void TearDown() override {
        destroy_sound_system();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("TMPDIR");
    }
    // A fresh sound system on the disk driver, recording into the named file.
    bool start_recording(const std::string& name) {
        destroy_sound_system();
        recording_ = temp_.file(name);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", recording_.c_str(), 1);
        return start_sound(create_sound_system().device, 0) == 1 &&
               sound_system()->device.capabilities.rate == 22050;
    }
    // What was recorded so far (the device writes 16-bit stereo frames).
    std::vector<Frame> recorded() const {
        const std::string bytes = test_support::read_file(recording_);
        std::vector<Frame> frames(bytes.size() / sizeof(Frame));
        std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
        return frames;
    }
    // Closes the device, so the recording is complete, and reads it.
    std::vector<Frame> finish_recording() {
        destroy_sound_system();
        return recorded();
    }
    std::string wave_file(const std::string& name, const WaveSpec& spec) {
        const std::string path = temp_.file(name);
        EXPECT_TRUE(test_support::write_file(path, make_wave(spec)));
        return path;
    }

    test_support::TempDir temp_;
    std::string recording_;
};

}  // namespace runtime::sound_test
