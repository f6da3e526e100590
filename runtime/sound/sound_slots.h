// Sound slots on the platform's audio output: the device record, the table of slot
// records and the engine-side operations the sound commands build on.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "runtime/platform/audio.h"

namespace runtime {

constexpr int SOUND_SLOT_COUNT = 256;
// The commands address slots 0..127; a larger number uses the last of them.
constexpr int SOUND_COMMAND_SLOTS = 128;
constexpr int SOUND_COPY_MAX = 4;
// A playing copy's channel number is slot * SOUND_CHANNEL_STRIDE + copy.
constexpr int SOUND_CHANNEL_STRIDE = 256;
// Hundredths of a decibel at and below which a side is silent.
constexpr int SOUND_SILENCE_DB100 = -10000;
// A sound file is read whole; larger ones fail before anything is allocated for them.
constexpr int64_t WAVE_FILE_LIMIT = int64_t{32} << 20;

static_assert(SOUND_SLOT_COUNT * SOUND_COPY_MAX <= platform::VOICE_COUNT,
              "every copy of every slot needs a voice of its own");

struct SoundDevice {
    bool started = false;                // the audio output is held for the slots
    platform::AudioFormat capabilities;  // the granted output format, read at start
    uint32_t window = 0;
    int window_listener = 0;  // its listener of window changes, while started
};

struct SoundSlot {
    int32_t copy_count = 0;  // 0 when nothing is loaded, else 1..4
    int32_t next_copy = 0;   // the copy the next play tries first
    std::string file_name;   // the resolved name, while loading
    SoundDevice* device = nullptr;  // null when loading found no usable device
    // The loaded samples, shared by every copy; copy c plays on voice slot * 4 + c.
    platform::SoundBuffer* buffer = nullptr;
};

// The sound device and its slots: one record for the run.
struct SoundSystem {
    SoundDevice device;
    std::array<SoundSlot, SOUND_SLOT_COUNT> slots;
};

// The sound system, null before create_sound_system and after destroy_sound_system.
SoundSystem* sound_system();
// Creates the device record (not started) and the slots, replacing an old system, and
// registers the teardown with the end of the program.
SoundSystem& create_sound_system();
// Stops and releases the slots from the last to the first, then stops the device.
void destroy_sound_system();

// Opens the audio output for the slots: 1, or 0 with one error-log line naming the
// reason (every load then fails and every play gives -1).
int start_sound(SoundDevice& device, uint32_t window);
// The window the device belongs to, after a display-mode change.
void set_sound_window(SoundDevice& device, uint32_t window);
// Lets go of the audio output (the slots must be released first).
void stop_sound(SoundDevice& device);

// Reads the slot's file_name into its buffer: 1, or 0 with the slot left without samples
// (and without device when the buffer could not be made).
int load_wave(int slot);
// The copy a play should use, or -1 when every copy is busy (only one copy) or the slot
// number is outside the table. The oldest sound is cut off when all copies play.
int free_copy(int slot);
// Plays a free copy once. pan -10000..10000, volume 0..100 (to hundredths of a decibel as
// volume * 100 - 10000); flags are not used. The copy index, or -1.
int play_slot(int slot, int pan, int volume, int flags);
// Whether the slot's copy is playing; false for a slot or copy it does not hold.
bool copy_playing(int slot, int copy);
// Stops every copy of the slot (the next play of a copy starts from the top).
void stop_slot(int slot);
// Stops every copy of the slot and frees its samples; the slot is empty afterwards.
void release_slot(int slot);

// Linear gains of the two sides for a volume and pan in hundredths of a decibel.
struct SideGains {
    float left = 1.0f;
    float right = 1.0f;
};
SideGains side_gains(int volume_db100, int pan);

}  // namespace runtime
