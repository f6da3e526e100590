// The audio output on SDL2_mixer: one device for music and sound, mixer channels as the
// voices. The mixer's own volume has 128 steps and rounds quiet levels to silence, so a
// channel effect scales the samples by the exact gain instead, on the mixer's private
// copy of them (the buffer stays shared and untouched).
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "runtime/platform/audio.h"

namespace runtime::platform {

struct SoundBuffer {
    std::vector<int16_t> samples;  // interleaved stereo at the output's rate
    Mix_Chunk* chunk = nullptr;
};

namespace {

// Frames per mixing round: about 46 ms at 22050 frames per second.
constexpr int MIX_ROUND_FRAMES = 1024;
constexpr int OUTPUT_CHANNELS = 2;

struct VoiceGain {
    float left = 1.0f;
    float right = 1.0f;
};

struct AudioOutput {
    uint8_t users = 0;  // AudioUser bits
    AudioFormat format;
    // Read by the mixing thread; written only while the voice is halted, before its
    // effect is registered under the mixer's lock.
    std::array<VoiceGain, VOICE_COUNT> gains{};
};

AudioOutput& output() {
    static AudioOutput state;
    return state;
}

bool valid_voice(int voice) { return voice >= 0 && voice < VOICE_COUNT && output().users != 0; }

int16_t scaled(int16_t sample, float gain) {
    const float v = static_cast<float>(sample) * gain;
    return static_cast<int16_t>(v + std::copysign(0.5f, v));
}

void apply_gain(int /*channel*/, void* stream, int length, void* data) {
    const VoiceGain gain = *static_cast<const VoiceGain*>(data);
    auto* s = static_cast<int16_t*>(stream);
    const int frames = length / static_cast<int>(sizeof(int16_t) * OUTPUT_CHANNELS);
    for (int i = 0; i < frames; ++i) {
        s[2 * i] = scaled(s[2 * i], gain.left);
        s[2 * i + 1] = scaled(s[2 * i + 1], gain.right);
    }
}

bool open_device(int rate, std::string& reason) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    // Only the rate may differ from what we ask: the gain effect works on 16-bit stereo.
    if (Mix_OpenAudioDevice(rate, AUDIO_S16SYS, OUTPUT_CHANNELS, MIX_ROUND_FRAMES, nullptr,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE) != 0) {
        reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    int granted_rate = 0;
    int channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&granted_rate, &format, &channels) == 0 || format != AUDIO_S16SYS ||
        channels != OUTPUT_CHANNELS) {
        reason = "the audio device did not take 16-bit stereo";
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(VOICE_COUNT);
    output().format = AudioFormat{granted_rate, channels, 16};
    return true;
}

}  // namespace

bool open_audio_output(AudioUser user, std::string& reason, int rate) {
    AudioOutput& out = output();
    const auto bit = static_cast<uint8_t>(user);
    if (out.users == 0 && !open_device(rate, reason)) return false;
    out.users |= bit;
    return true;
}

void close_audio_output(AudioUser user) {
    AudioOutput& out = output();
    const auto bit = static_cast<uint8_t>(user);
    if ((out.users & bit) == 0) return;
    out.users &= static_cast<uint8_t>(~bit);
    if (out.users != 0) return;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    out = AudioOutput{};
}

bool audio_output_open() { return output().users != 0; }

AudioFormat audio_output_format() { return output().format; }

SoundBuffer* create_sound_buffer(const int16_t* frames, size_t frame_count, int rate,
                                 std::string& reason) {
    const AudioFormat format = output().format;
    if (output().users == 0) {
        reason = "no audio output";
        return nullptr;
    }
    constexpr size_t FRAME_BYTES = sizeof(int16_t) * OUTPUT_CHANNELS;
    if (frames == nullptr || frame_count == 0 || rate <= 0 ||
        frame_count > SOUND_BUFFER_LIMIT / FRAME_BYTES) {
        reason = "no samples";
        return nullptr;
    }
    auto buffer = std::make_unique<SoundBuffer>();
    if (rate == format.rate) {
        buffer->samples.assign(frames, frames + frame_count * OUTPUT_CHANNELS);
    } else {
        SDL_AudioCVT cvt;
        if (SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, OUTPUT_CHANNELS, rate, AUDIO_S16SYS,
                              OUTPUT_CHANNELS, format.rate) < 0) {
            reason = SDL_GetError();
            return nullptr;
        }
        const size_t in_bytes = frame_count * FRAME_BYTES;
        const auto mult = static_cast<size_t>(cvt.len_mult);
        // The converter works in place and needs len_mult times the input.
        if (in_bytes > SOUND_BUFFER_LIMIT / mult) {
            reason = "the sound is too long";
            return nullptr;
        }
        std::vector<int16_t> work(in_bytes * mult / sizeof(int16_t) + OUTPUT_CHANNELS);
        std::copy(frames, frames + frame_count * OUTPUT_CHANNELS, work.begin());
        cvt.buf = reinterpret_cast<Uint8*>(work.data());
        cvt.len = static_cast<int>(in_bytes);
        if (SDL_ConvertAudio(&cvt) != 0) {
            reason = SDL_GetError();
            return nullptr;
        }
        const size_t out_frames = static_cast<size_t>(cvt.len_cvt) / FRAME_BYTES;
        if (out_frames == 0) {
            reason = "no samples";
            return nullptr;
        }
        work.resize(out_frames * OUTPUT_CHANNELS);
        work.shrink_to_fit();
        buffer->samples = std::move(work);
    }
    buffer->chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(buffer->samples.data()),
                                      static_cast<Uint32>(buffer->samples.size() * sizeof(int16_t)));
    if (buffer->chunk == nullptr) {
        reason = SDL_GetError();
        return nullptr;
    }
    return buffer.release();
}

void free_sound_buffer(SoundBuffer* buffer) {
    if (buffer == nullptr) return;
    // Halts every channel that plays the chunk; the samples are ours to free.
    Mix_FreeChunk(buffer->chunk);
    delete buffer;
}

size_t sound_buffer_frames(const SoundBuffer* buffer) {
    return buffer != nullptr ? buffer->samples.size() / OUTPUT_CHANNELS : 0;
}

bool play_voice(int voice, SoundBuffer* buffer, float left_gain, float right_gain) {
    if (!valid_voice(voice) || buffer == nullptr) return false;
    // Halting removes the channel's effects; the gain is set and its effect registered
    // before the channel plays again, so no round is ever mixed without it.
    Mix_HaltChannel(voice);
    Mix_UnregisterAllEffects(voice);
    VoiceGain& gain = output().gains[static_cast<size_t>(voice)];
    gain = VoiceGain{left_gain, right_gain};
    const bool exact = left_gain == 1.0f && right_gain == 1.0f;
    if (!exact && Mix_RegisterEffect(voice, apply_gain, nullptr, &gain) == 0) return false;
    Mix_Volume(voice, MIX_MAX_VOLUME);
    if (Mix_PlayChannel(voice, buffer->chunk, 0) != voice) {
        Mix_UnregisterAllEffects(voice);
        return false;
    }
    return true;
}

bool voice_playing(int voice) { return valid_voice(voice) && Mix_Playing(voice) != 0; }

void stop_voice(int voice) {
    if (valid_voice(voice)) Mix_HaltChannel(voice);
}

}  // namespace runtime::platform
