// The program's one audio output, shared by the sound slots and the background music:
// sound buffers in the output's format and numbered voices that play them with an
// exact linear gain per side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace runtime::platform {

// Who holds the output open; it closes when the last holder lets go.
enum class AudioUser : uint8_t { SOUND = 1, MUSIC = 2 };

// The output asked for: 16-bit stereo at this rate (the device may grant another rate).
constexpr int AUDIO_OUTPUT_RATE = 22050;
// Voices 0..VOICE_COUNT-1 exist while the output is open.
constexpr int VOICE_COUNT = 1024;
// A sound buffer may not hold more than this many bytes in the output's format.
constexpr size_t SOUND_BUFFER_LIMIT = size_t{256} << 20;

struct AudioFormat {
    int rate = 0;
    int channels = 0;
    int bits = 0;
};

// Opens the output for `user`, or joins it when another holder has it open already;
// false with the system's reason when there is no output. `rate` counts only for the
// first holder.
bool open_audio_output(AudioUser user, std::string& reason, int rate = AUDIO_OUTPUT_RATE);
// Lets go of the output; the last holder closes it.
void close_audio_output(AudioUser user);
bool audio_output_open();
// The granted format; zeros while the output is closed.
AudioFormat audio_output_format();

// Samples in the output's format, shared by every voice that plays them.
struct SoundBuffer;
// Interleaved 16-bit stereo frames at `rate`, converted to the output's rate. Null with a
// reason when the output is closed or the result would pass SOUND_BUFFER_LIMIT.
SoundBuffer* create_sound_buffer(const int16_t* frames, size_t frame_count, int rate,
                                 std::string& reason);
// Stops every voice that plays it, then frees it. Null is ignored.
void free_sound_buffer(SoundBuffer* buffer);
// Length in frames of the output's format.
size_t sound_buffer_frames(const SoundBuffer* buffer);

// Plays the buffer once from its start on the voice (cutting off what it played),
// each sample scaled by the side's gain (0..1, 1 leaves the samples untouched).
bool play_voice(int voice, SoundBuffer* buffer, float left_gain, float right_gain);
// Whether the voice is still playing; false for a voice number outside the range.
bool voice_playing(int voice);
void stop_voice(int voice);

}  // namespace runtime::platform
