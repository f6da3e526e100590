// Mixing cost of 64 copies of one sound playing at once, 44.1 kHz stereo: CPU time of
// the audio thread per second of audio, with the exact gain and pan of the voices and,
// as the baseline in the same run, with SDL2_mixer's own 0..128 volume (no effect), and
// with nothing playing. SDL's disk driver writes to /dev/null with no delay, so the
// audio thread mixes as fast as it can; the post-mix hook reads its thread CPU clock.
//   bench_sound   (the "Time" column is CPU time per second of audio)
#include <SDL2/SDL_mixer.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/platform/audio.h"
#include "runtime/sound/sound_slots.h"

namespace {

using namespace runtime;

constexpr int RATE = 44100;
constexpr int COPIES = 64;
constexpr size_t SOUND_FRAMES = 3 * RATE;  // outlasts one measured second of audio
// Volume 0.9 and pan 0.3 as the sound commands give them to the voices.
constexpr float LEFT_GAIN = 0.0562341f;   // -40 dB
constexpr float RIGHT_GAIN = 0.3162278f;  // -10 dB
constexpr int PLAIN_VOLUME = 40;           // about -10 dB in the mixer's 128 steps
constexpr uint64_t MIX_ROUND = 1024;      // frames the output mixes at a time

// What the audio thread has done so far, written by the post-mix hook.
struct MixClock {
    std::mutex lock;
    double cpu_seconds = 0;
    uint64_t frames = 0;
};
MixClock& mix_clock() {
    static MixClock clock;
    return clock;
}

void count_round(void* /*data*/, Uint8* /*stream*/, int length) {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    MixClock& c = mix_clock();
    std::lock_guard<std::mutex> hold(c.lock);
    c.cpu_seconds = static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    c.frames += static_cast<uint64_t>(length) / 4;
}

struct Reading {
    double cpu_seconds = 0;
    uint64_t frames = 0;
};
Reading read_clock() {
    MixClock& c = mix_clock();
    std::lock_guard<std::mutex> hold(c.lock);
    return Reading{c.cpu_seconds, c.frames};
}

platform::SoundBuffer* the_sound() {
    static platform::SoundBuffer* sound = [] {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        std::string reason;
        if (!platform::open_audio_output(platform::AudioUser::SOUND, reason, RATE))
            return static_cast<platform::SoundBuffer*>(nullptr);
        std::vector<int16_t> samples(2 * SOUND_FRAMES);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(20000.0 * std::sin(static_cast<double>(i / 2) * 0.0627));
        Mix_SetPostMix(count_round, nullptr);
        return platform::create_sound_buffer(samples.data(), SOUND_FRAMES, RATE, reason);
    }();
    return sound;
}

// Starts the copies, lets the audio thread mix one second of audio and reports its CPU
// time as the iteration's time.
template <typename Start>
void run(benchmark::State& state, Start start) {
    if (the_sound() == nullptr || platform::audio_output_format().rate != RATE)
        return state.SkipWithError("no 44.1 kHz audio output");
    for (auto _ : state) {
        start();
        // The round that was being mixed when the copies started does not count.
        const uint64_t started = read_clock().frames;
        Reading from;
        while ((from = read_clock()).frames < started + 2 * MIX_ROUND) std::this_thread::yield();
        Reading to;
        while ((to = read_clock()).frames < from.frames + RATE) std::this_thread::yield();
        const double audio_seconds = static_cast<double>(to.frames - from.frames) / RATE;
        state.SetIterationTime((to.cpu_seconds - from.cpu_seconds) / audio_seconds);
        Mix_HaltChannel(-1);
    }
}

void BM_Mix64Copies_ExactGainAndPan(benchmark::State& state) {
    run(state, [] {
        for (int v = 0; v < COPIES; ++v) platform::play_voice(v, the_sound(), LEFT_GAIN, RIGHT_GAIN);
    });
}

// The baseline: the same chunk on the same channels at the mixer's plain volume.
void BM_Mix64Copies_PlainMixerVolume(benchmark::State& state) {
    run(state, [] {
        for (int v = 0; v < COPIES; ++v) {
            platform::play_voice(v, the_sound(), 1.0f, 1.0f);  // no effect at unity gain
            Mix_Volume(v, PLAIN_VOLUME);
        }
    });
}

void BM_MixNothingPlaying(benchmark::State& state) {
    run(state, [] {});
}

BENCHMARK(BM_Mix64Copies_ExactGainAndPan)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix64Copies_PlainMixerVolume)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixNothingPlaying)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
