// WAV files built byte by byte, and a sound system on SDL's disk audio driver that records
// everything the device played into a file of the test's own folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/sound/sound.h"
#include "runtime/sound/sound_slots.h"
#include "support/temp_dir.h"

namespace runtime::sound_test {

struct WaveSpec {
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    int block_align = -1;  // -1: channels * bits / 8
    uint32_t format_size = 16;
    int format_extra = -1;  // bytes after the 16 format bytes; -1: format_size - 16
    int fact_size = -1;     // -1: no "fact" chunk
    const char* data_tag = "data";
    int64_t data_size = -1;  // -1: the samples' length
    std::string samples;     // the data chunk's bytes
};

inline void put(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string make_wave(const WaveSpec& w) {
    const int align = w.block_align >= 0 ? w.block_align : w.channels * w.bits / 8;
    std::string s = std::string("RIFF") + std::string(4, '\0') + "WAVEfmt ";  // size not examined
    put(s, w.format_size, 4);
    for (uint32_t v : {1u, uint32_t{w.channels}}) put(s, v, 2);
    put(s, w.rate, 4);
    put(s, w.rate * static_cast<uint32_t>(align), 4);
    put(s, static_cast<uint32_t>(align), 2);
    put(s, w.bits, 2);
    s.append(static_cast<size_t>(w.format_extra >= 0 ? w.format_extra : static_cast<int>(w.format_size) - 16), '\0');
    if (w.fact_size >= 0) {
        s += "fact";
        put(s, static_cast<uint32_t>(w.fact_size), 4);
        s.append(static_cast<size_t>(w.fact_size), '\x11');
    }
    s += w.data_tag;
    put(s, static_cast<uint32_t>(w.data_size >= 0 ? w.data_size : static_cast<int64_t>(w.samples.size())), 4);
    return s + w.samples;
}

// 16-bit samples as the bytes of a data chunk.
inline std::string pcm16(const std::vector<int16_t>& samples) {
    std::string s;
    for (int16_t v : samples) put(s, static_cast<uint16_t>(v), 2);
    return s;
}

// Mono 16-bit at 22050: a cosine of full amplitude, 50 frames per period, each period
// starting on its peak.
inline WaveSpec tone_wave(size_t frames) {
    std::vector<int16_t> out(frames);
    for (size_t i = 0; i < frames; ++i)
        out[i] = static_cast<int16_t>(std::lround(32767.0 * std::cos(2.0 * M_PI * static_cast<double>(i) / 50.0)));
    WaveSpec w;
    w.samples = pcm16(out);
    return w;
}

// The same frame bytes over and over, in a file changed as the test needs.
inline WaveSpec constant_wave(size_t frames, const std::string& frame,
                              const std::function<void(WaveSpec&)>& change = {}) {
    WaveSpec w;
    for (size_t i = 0; i < frames; ++i) w.samples += frame;
    if (change) change(w);
    return w;
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
        ASSERT_TRUE(start_recording());
    }
    void TearDown() override {
        destroy_sound_system();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("TMPDIR");
    }
    // A fresh sound system on the disk driver, recording into a new file.
    bool start_recording() {
        destroy_sound_system();
        recording_ = temp_.file("out" + std::to_string(++recordings_) + ".raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", recording_.c_str(), 1);
        return start_sound(create_sound_system().device, 0) == 1 &&
               sound_system()->device.capabilities.rate == 22050;
    }
    // What was recorded so far (the device writes 16-bit stereo frames).
    std::vector<Frame> recorded() const {
        const std::string bytes = test_support::read_file(recording_);
        std::vector<Frame> frames(bytes.size() / sizeof(Frame));
        if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
        return frames;
    }
    DynString wave_file(const WaveSpec& form) {
        const std::string path = temp_.file("sound" + std::to_string(++files_) + ".wav");
        EXPECT_TRUE(test_support::write_file(path, make_wave(form)));
        return DynString(path.c_str());
    }
    // One play of the file in a recording of its own, to its end.
    std::vector<Frame> record_play(const WaveSpec& form, double pan, double volume) {
        EXPECT_TRUE(start_recording());
        EXPECT_EQ(load_sound(wave_file(form), 5, 1), 1.0);
        EXPECT_EQ(play_sound(5, pan, volume), 5 * 256.0);
        EXPECT_EQ(sound_playing(5 * 256), 1.0);
        EXPECT_TRUE(eventually([] { return sound_playing(5 * 256) == 0.0; }));
        destroy_sound_system();  // closes the device: the recording is complete
        return recorded();
    }

    test_support::TempDir temp_;
    std::string recording_;
    int recordings_ = 0;
    int files_ = 0;
};

}  // namespace runtime::sound_test
