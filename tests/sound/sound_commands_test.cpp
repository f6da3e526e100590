// The sound commands on the real device path: SDL's disk driver records what the device
// played, and the tests measure that recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/packed_archive.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/media.h"
#include "sound_test_support.h"
#include "tools/packer/archive_writer.h"

namespace runtime::sound_test {
namespace {

constexpr size_t TONE_FRAMES = 2205;   // 0.1 s
constexpr size_t LONG_FRAMES = 66150;  // 3 s: outlasts any pause of the test thread
constexpr size_t MIX_ROUND = 1024;     // frames the device mixes at a time

int peak(const std::vector<Frame>& frames, bool left) {
    int p = 0;
    for (const Frame& f : frames) p = std::max(p, std::abs(left ? f.left : f.right));
    return p;
}

size_t first_sound(const std::vector<Frame>& frames) {
    auto it = std::find_if(frames.begin(), frames.end(), [](Frame f) { return f.left != 0 || f.right != 0; });
    return static_cast<size_t>(it - frames.begin());
}

size_t frames_at(const std::vector<Frame>& frames, int16_t level) {
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(),
                                             [level](Frame f) { return f.left == level && f.right == level; }));
}

DynString name_of(const std::string& path) { return DynString(path.c_str()); }

struct GainCase {
    double pan, volume;
    double left, right;  // linear gains expected
};

TEST_F(RecordedSound, VolumeAndPanInHundredthsOfADecibel) {
    WaveSpec tone;
    const std::vector<int16_t> samples = full_scale_tone(TONE_FRAMES);
    tone.samples = pcm16(samples);
    const GainCase cases[] = {
        {0, 1, 1, 1},
        {0, 0.5, 0.0031623, 0.0031623},     // -50 dB
        {-1, 1, 1, 0},                      // right silent
        {-3, 2, 1, 0},                      // clamped: fully left, full level
        {0.25, 0.9, 0.0177828, 0.3162278},  // -10 dB, the left 25 dB further down
        {0, 0, 0, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const GainCase& c = cases[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(start_recording("case" + std::to_string(i) + ".raw"));
        ASSERT_EQ(load_sound(name_of(wave_file("tone.wav", tone)), 5, 1), 1.0);
        ASSERT_EQ(play_sound(5, c.pan, c.volume), 5 * 256.0);
        EXPECT_EQ(sound_playing(5 * 256), 1.0);
        ASSERT_TRUE(eventually([] { return sound_playing(5 * 256) == 0.0; }));
        const std::vector<Frame> frames = finish_recording();
        for (bool left : {true, false}) {
            const double want = 32767.0 * (left ? c.left : c.right);
            EXPECT_NEAR(peak(frames, left), want, want * 0.01) << (left ? "left" : "right");
        }
        if (i == 0) {  // at full level the tone comes out sample for sample
            const size_t at = first_sound(frames);
            ASSERT_GE(frames.size(), at + TONE_FRAMES);
            for (size_t k = 0; k < TONE_FRAMES; ++k)
                ASSERT_TRUE(frames[at + k].left == samples[k] && frames[at + k].right == samples[k]) << k;
            EXPECT_EQ(first_sound({frames.begin() + static_cast<ptrdiff_t>(at + TONE_FRAMES), frames.end()}),
                      frames.size() - at - TONE_FRAMES);
        }
    }
}

TEST_F(RecordedSound, TwoCopiesPlayedThreeTimesCutTheOldestOff) {
    WaveSpec level;
    level.samples = pcm16(std::vector<int16_t>(LONG_FRAMES, 1000));
    ASSERT_EQ(load_sound(name_of(wave_file("level.wav", level)), 9, 2), 1.0);
    // Each play waits until the one before is heard, so each starts in a later round.
    const size_t heard = 4 * MIX_ROUND;
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 0.0);
    ASSERT_TRUE(eventually([&] { return frames_at(recorded(), 1000) >= heard; }));
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 1.0);
    ASSERT_TRUE(eventually([&] { return frames_at(recorded(), 2000) >= heard; }));
    ASSERT_EQ(sound_playing(9 * 256), 1.0);
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 0.0);
    EXPECT_EQ(sound_playing(9 * 256 + 1), 1.0);
    ASSERT_TRUE(eventually([] { return sound_playing(9 * 256) == 0.0 && sound_playing(9 * 256 + 1) == 0.0; }));
    const std::vector<Frame> frames = finish_recording();
    // Never three voices; and copy 1 had company for all of its length only if copy 0
    // was cut off and started again (a restart may wait for the next round).
    EXPECT_EQ(frames_at(frames, 0) + frames_at(frames, 1000) + frames_at(frames, 2000), frames.size());
    const size_t both = frames_at(frames, 2000);
    EXPECT_LE(both, LONG_FRAMES);
    EXPECT_GE(both, LONG_FRAMES - MIX_ROUND);
}

TEST_F(RecordedSound, SlotAndCopyRules) {
    WaveSpec level;
    level.samples = pcm16(std::vector<int16_t>(LONG_FRAMES, 500));
    const DynString file = name_of(wave_file("level.wav", level));
    // Larger slot numbers use 127, copies clamp to 1..4.
    ASSERT_EQ(load_sound(file, 300, 9), 1.0);
    EXPECT_EQ(sound_system()->slots[127].copy_count, 4);
    EXPECT_EQ(play_sound(1e12, 0, 1), 127 * 256.0);
    ASSERT_EQ(load_sound(file, 2, 0), 1.0);
    EXPECT_EQ(sound_system()->slots[2].copy_count, 1);
    // One copy that still sounds cannot play again until it is stopped.
    EXPECT_EQ(play_sound(2, 0, 1), 512.0);
    EXPECT_EQ(play_sound(2, 0, 1), -1.0);
    stop_all_sounds();
    EXPECT_EQ(sound_playing(512), 0.0);
    EXPECT_EQ(sound_playing(127 * 256), 0.0);
    EXPECT_EQ(play_sound(2, 0, 1), 512.0);
    EXPECT_EQ(sound_playing(512), 1.0);
    // Loading again stops what the slot played.
    ASSERT_EQ(load_sound(file, 2, 1), 1.0);
    EXPECT_EQ(sound_playing(512), 0.0);

    // Numbers no play gave are refused, never used as indices.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(load_sound(file, -1, 1), 0.0);
    for (double slot : {-1.0, -1e12, nan}) {
        EXPECT_EQ(play_sound(slot, 0, 1), -1.0) << slot;
    }
    EXPECT_EQ(play_sound(7, 0, 1), -1.0);  // nothing loaded
    for (double channel : {-1.0, nan, 513.0, 127 * 256 + 4.0, 300 * 256.0, 1e12}) {
        EXPECT_EQ(sound_playing(channel), 0.0) << channel;
    }
}

TEST_F(RecordedSound, Mono8BitWithFactPlaysOnBothSides) {
    WaveSpec w;
    w.bits = 8;
    w.fact_size = 4;
    for (size_t i = 0; i < TONE_FRAMES; ++i) w.samples += static_cast<char>(1 + (i * 7) % 255);
    ASSERT_EQ(load_sound(name_of(wave_file("mono8.wav", w)), 0, 1), 1.0);
    ASSERT_EQ(play_sound(0, 0, 1), 0.0);
    ASSERT_TRUE(eventually([] { return sound_playing(0) == 0.0; }));
    const std::vector<Frame> frames = finish_recording();
    const size_t at = first_sound(frames);
    ASSERT_GE(frames.size(), at + TONE_FRAMES);
    for (size_t k = 0; k < TONE_FRAMES; ++k) {
        const auto want = static_cast<int16_t>((static_cast<uint8_t>(w.samples[k]) - 128) * 256);
        ASSERT_TRUE(frames[at + k].left == want && frames[at + k].right == want) << k;
    }
}

TEST_F(RecordedSound, OtherRatesAreConvertedToTheDevice) {
    WaveSpec w;
    w.rate = 11025;
    w.channels = 2;
    w.samples = pcm16(std::vector<int16_t>(2 * TONE_FRAMES, 8000));
    ASSERT_EQ(load_sound(name_of(wave_file("half_rate.wav", w)), 0, 1), 1.0);
    ASSERT_EQ(play_sound(0, 0, 1), 0.0);
    ASSERT_TRUE(eventually([] { return sound_playing(0) == 0.0; }));
    const std::vector<Frame> frames = finish_recording();
    const auto steady = std::count_if(frames.begin(), frames.end(),
                                      [](Frame f) { return std::abs(f.left - 8000) < 100 && std::abs(f.right - 8000) < 100; });
    // Twice as many frames at the device's rate, give or take the resampler's edges.
    EXPECT_NEAR(static_cast<double>(steady), 2.0 * TONE_FRAMES, 0.02 * TONE_FRAMES);
}

TEST_F(RecordedSound, DamagedFilesLeaveTheSlotEmpty) {
    WaveSpec good;
    good.samples = pcm16(full_scale_tone(TONE_FRAMES));
    const DynString good_file = name_of(wave_file("good.wav", good));
    auto damaged = [&](auto change) {
        WaveSpec w = good;
        change(w);
        return std::string(make_wave(w));
    };
    const std::string cases[] = {
        damaged([](WaveSpec& w) { w.data_size = 100000; }),
        damaged([](WaveSpec& w) { w.fact_size = 5000; }),
        damaged([](WaveSpec& w) { w.data_tag = "LIST"; }),
        damaged([](WaveSpec& w) { w.channels = 0; }),
        damaged([](WaveSpec& w) { w.bits = 12; }),
        make_wave(good).substr(0, 30),
    };
    for (size_t i = 0; i < std::size(cases) + 1; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(load_sound(good_file, 3, 2), 1.0);
        const std::string path = temp_.file("bad" + std::to_string(i) + ".wav");
        if (i < std::size(cases)) {  // the last round's file is missing
            ASSERT_TRUE(test_support::write_file(path, cases[i]));
        }
        EXPECT_EQ(load_sound(name_of(path), 3, 2), 0.0);
        EXPECT_EQ(sound_system()->slots[3].copy_count, 0);
        EXPECT_EQ(play_sound(3, 0, 1), -1.0);
    }
}

TEST_F(RecordedSound, NamesResolveThroughThePackedArchive) {
    WaveSpec tone;
    tone.samples = pcm16(full_scale_tone(TONE_FRAMES));
    const std::string wave = make_wave(tone);
    std::string error;
    const std::vector<uint8_t> archive =
        packer::build_archive({{"beep.wav", std::vector<uint8_t>(wave.begin(), wave.end())}}, false, 0, error);
    const std::string path = temp_.file("data.pak");
    ASSERT_TRUE(test_support::write_file(path, std::string(archive.begin(), archive.end()))) << error;
    set_archive_paths(path.c_str(), "");
    EXPECT_EQ(load_sound(DynString("sounds/BEEP.WAV"), 1, 1), 1.0);
    EXPECT_EQ(play_sound(1, 0, 1), 256.0);
    EXPECT_EQ(load_sound(DynString("sounds/other.wav"), 1, 1), 0.0);
    close_packed_archives();
}

TEST_F(RecordedSound, MusicSharesTheOutputAndOutlivesTheSlots) {
    WaveSpec tone;
    tone.samples = pcm16(full_scale_tone(TONE_FRAMES));
    ASSERT_TRUE(platform::play_music_looping(wave_file("music.wav", tone)));
    EXPECT_EQ(platform::audio_output_format().rate, sound_system()->device.capabilities.rate);
    shut_down_runtime();  // the end's sound step: slots, then the device
    EXPECT_EQ(sound_system(), nullptr);
    EXPECT_TRUE(platform::music_playing());
    EXPECT_TRUE(platform::audio_output_open());
    // Nothing played in a slot: what the recording holds is the music, on the one device.
    EXPECT_TRUE(eventually([&] { return peak(recorded(), true) > 30000; }));
    platform::stop_music();
    EXPECT_FALSE(platform::audio_output_open());
}

TEST(SoundWithoutDevice, LoadsFailAndPlaysGiveMinusOne) {
    test_support::TempDir temp;
    setenv("TMPDIR", temp.path().c_str(), 1);
    setenv("SDL_AUDIODRIVER", "nowhere", 1);
    SoundSystem& system = create_sound_system();
    EXPECT_EQ(start_sound(system.device, 0), 0);
    const std::string log = test_support::read_file(error_log_path());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    EXPECT_NE(log.find("No sound device: "), std::string::npos) << log;
    WaveSpec tone;
    tone.samples = pcm16(full_scale_tone(TONE_FRAMES));
    const std::string path = temp.file("tone.wav");
    ASSERT_TRUE(test_support::write_file(path, make_wave(tone)));
    EXPECT_EQ(load_sound(name_of(path), 0, 1), 0.0);
    EXPECT_EQ(play_sound(0, 0, 1), -1.0);
    destroy_sound_system();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace runtime::sound_test
