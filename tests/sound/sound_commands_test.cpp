// The sound commands on the real device path: SDL's disk driver records what the device
// played, and the tests measure that recording.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/packed_archive.h"
#include "runtime/platform/media.h"
#include "runtime/sound/sound_slots.h"
#include "sound_test_support.h"
#include "tools/rtpack/archive_writer.h"

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

// Frames within `slack` of the levels on each side.
size_t frames_at(const std::vector<Frame>& frames, int left, int right, int slack = 0) {
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), [=](Frame f) {
        return std::abs(f.left - left) <= slack && std::abs(f.right - right) <= slack;
    }));
}

TEST_F(RecordedSound, VolumeAndPanInHundredthsOfADecibel) {
    struct {
        double pan, volume;
        double left, right;  // linear gains expected
    } const cases[] = {
        {0, 1, 1, 1},
        {0, 0.5, 0.0031623, 0.0031623},     // -50 dB
        {-1, 1, 1, 0},                      // right silent
        {-3, 2, 1, 0},                      // clamped: fully left, full level
        {0.25, 0.9, 0.0177828, 0.3162278},  // -10 dB, the left 25 dB further down
        {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const std::vector<Frame> frames = record_play(tone_wave(TONE_FRAMES), c.pan, c.volume);
        for (bool left : {true, false}) {
            const double want = 32767.0 * (left ? c.left : c.right);
            EXPECT_NEAR(peak(frames, left), want, want * 0.01) << c.pan << " " << c.volume << " " << left;
        }
    }
}

TEST_F(RecordedSound, FormatsReachTheDeviceAsStereo) {
    // 8-bit mono with a "fact" chunk: exact on both sides.
    std::vector<Frame> frames =
        record_play(constant_wave(TONE_FRAMES, "\xC8", [](WaveSpec& w) { w.bits = 8; w.fact_size = 4; }), 0, 1);
    EXPECT_EQ(frames_at(frames, 72 * 256, 72 * 256), TONE_FRAMES);
    // Half the device's rate: twice the frames, give or take the resampler's edges.
    frames = record_play(constant_wave(TONE_FRAMES, pcm16({8000, -300}), [](WaveSpec& w) {
                             w.channels = 2;
                             w.rate = 11025;
                         }), 0, 1);
    EXPECT_NEAR(static_cast<double>(frames_at(frames, 8000, -300, 100)), 2.0 * TONE_FRAMES, 0.02 * TONE_FRAMES);
}

TEST_F(RecordedSound, TwoCopiesPlayedThreeTimesCutTheOldestOff) {
    ASSERT_EQ(load_sound(wave_file(constant_wave(LONG_FRAMES, pcm16({1000}))), 9, 2), 1.0);
    // Each play waits until the one before is heard, so each starts in a later round.
    const size_t heard = 4 * MIX_ROUND;
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 0.0);
    ASSERT_TRUE(eventually([&] { return frames_at(recorded(), 1000, 1000) >= heard; }));
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 1.0);
    ASSERT_TRUE(eventually([&] { return frames_at(recorded(), 2000, 2000) >= heard; }));
    ASSERT_EQ(sound_playing(9 * 256), 1.0);
    EXPECT_EQ(play_sound(9, 0, 1), 9 * 256 + 0.0);
    EXPECT_EQ(sound_playing(9 * 256 + 1), 1.0);
    ASSERT_TRUE(eventually([] { return sound_playing(9 * 256) + sound_playing(9 * 256 + 1) == 0.0; }));
    destroy_sound_system();
    const std::vector<Frame> frames = recorded();
    // Never three voices; and copy 1 had company for all of its length only if copy 0
    // was cut off and started again (a restart may wait for the next round).
    EXPECT_EQ(frames_at(frames, 0, 0) + frames_at(frames, 1000, 1000) + frames_at(frames, 2000, 2000),
              frames.size());
    EXPECT_LE(frames_at(frames, 2000, 2000), LONG_FRAMES);
    EXPECT_GE(frames_at(frames, 2000, 2000), LONG_FRAMES - MIX_ROUND);
}

TEST_F(RecordedSound, SlotAndCopyRules) {
    const DynString file = wave_file(constant_wave(LONG_FRAMES, pcm16({500})));
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
    EXPECT_EQ(sound_playing(512) + sound_playing(127 * 256), 0.0);
    EXPECT_EQ(play_sound(2, 0, 1), 512.0);
    // Loading again stops what the slot played.
    ASSERT_EQ(load_sound(file, 2, 1), 1.0);
    EXPECT_EQ(sound_playing(512), 0.0);

    // Numbers no play gave are refused, never used as indices.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(load_sound(file, -1, 1), 0.0);
    for (double slot : {-1.0, -1e12, nan, 7.0 /* empty */}) {
        EXPECT_EQ(play_sound(slot, 0, 1), -1.0) << slot;
    }
    for (double channel : {-1.0, nan, 513.0, 127 * 256 + 4.0, 300 * 256.0, 1e12}) {
        EXPECT_EQ(sound_playing(channel), 0.0) << channel;
    }
}

TEST_F(RecordedSound, DamagedOrMissingFilesLeaveTheSlotEmpty) {
    WaveSpec past_end = tone_wave(TONE_FRAMES);
    past_end.data_size = 100000;
    const std::string missing = temp_.file("missing.wav");
    for (const DynString& bad : {wave_file(past_end), DynString(missing.c_str())}) {
        ASSERT_EQ(load_sound(wave_file(tone_wave(TONE_FRAMES)), 3, 2), 1.0);
        EXPECT_EQ(load_sound(bad, 3, 2), 0.0);
        EXPECT_EQ(sound_system()->slots[3].copy_count, 0);
        EXPECT_EQ(play_sound(3, 0, 1), -1.0);
    }
}

// Files of up to 32 MiB load; the device takes buffers of up to 256 MiB, and refuses a
// larger one before it allocates anything.
TEST_F(RecordedSound, FilesUpTo32MiBAndBuffersUpTo256MiB) {
    for (int64_t size : {WAVE_FILE_LIMIT, WAVE_FILE_LIMIT + 1}) {
        WaveSpec w;  // 16-bit stereo zeros: the header and a data size, the rest a hole in the file
        w.channels = 2;
        w.data_size = size - static_cast<int64_t>(make_wave(w).size());
        const std::string path = temp_.file("big.wav");
        ASSERT_TRUE(test_support::write_file(path, make_wave(w)));
        ASSERT_EQ(::truncate(path.c_str(), size), 0);
        const bool fits = size <= WAVE_FILE_LIMIT;
        EXPECT_EQ(load_sound(DynString(path.c_str()), 2, 1), fits ? 1.0 : 0.0) << size;
        EXPECT_EQ(platform::sound_buffer_frames(sound_system()->slots[2].buffer),
                  fits ? static_cast<size_t>(w.data_size / 4) : 0) << size;
    }

    const size_t most = platform::SOUND_BUFFER_LIMIT / 4;  // 16-bit stereo frames
    const size_t bytes = (most + 1) * 4;
    // Untouched pages of an anonymous mapping read as zeros without taking memory.
    void* zeros = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    std::string reason;
    for (size_t frames : {most, most + 1}) {
        platform::SoundBuffer* buffer =
            platform::create_sound_buffer(static_cast<const int16_t*>(zeros), frames, 22050, reason);
        EXPECT_EQ(platform::sound_buffer_frames(buffer), frames <= most ? frames : 0) << frames;
        platform::free_sound_buffer(buffer);
    }
    ::munmap(zeros, bytes);
}

TEST_F(RecordedSound, NamesResolveThroughThePackedArchive) {
    const std::string wave = make_wave(tone_wave(TONE_FRAMES));
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
    ASSERT_TRUE(platform::play_music_looping(wave_file(tone_wave(TONE_FRAMES)).text_of()));
    shut_down_runtime();  // the end's sound step: slots, then the device
    EXPECT_EQ(sound_system(), nullptr);
    EXPECT_TRUE(platform::music_playing() && platform::audio_output_open());
    // No slot played: what the recording holds is the music, on the one device.
    EXPECT_TRUE(eventually([&] { return peak(recorded(), true) > 30000; }));
    platform::stop_music();
    EXPECT_FALSE(platform::audio_output_open());
}

TEST_F(RecordedSound, WithoutADeviceLoadsFailAndPlaysGiveMinusOne) {
    destroy_sound_system();
    setenv("SDL_AUDIODRIVER", "nowhere", 1);
    EXPECT_EQ(start_sound(create_sound_system().device, 0), 0);
    const std::string log = test_support::read_file(error_log_path());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    EXPECT_NE(log.find("No sound device: "), std::string::npos) << log;
    EXPECT_EQ(load_sound(wave_file(tone_wave(TONE_FRAMES)), 0, 1), 0.0);
    EXPECT_EQ(play_sound(0, 0, 1), -1.0);
}

}  // namespace
}  // namespace runtime::sound_test
