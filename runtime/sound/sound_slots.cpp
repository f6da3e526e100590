// The slot table and the device on the platform's audio output. A slot's copies are
// voices that share the slot's one buffer, so a copy costs no samples of its own.
#include "runtime/sound/sound_slots.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/owned_slot.h"
#include "runtime/platform/files.h"
#include "runtime/screen/screen_state.h"
#include "runtime/sound/wave_file.h"

namespace runtime {

namespace {

OwnedSlot<SoundSystem>& system_slot() {
    static OwnedSlot<SoundSystem> slot;
    return slot;
}

int voice_of(int slot, int copy) { return slot * SOUND_COPY_MAX + copy; }

SoundSlot* slot_record(int slot) {
    SoundSystem* system = sound_system();
    if (system == nullptr || slot < 0 || slot >= SOUND_SLOT_COUNT) return nullptr;
    return &system->slots[static_cast<size_t>(slot)];
}

bool read_whole_file(const std::string& name, std::vector<uint8_t>& bytes) {
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(name.c_str(), system_name)) return false;
    platform::FileHandle file = platform::open_for_reading(system_name);
    if (!file.is_open()) return false;
    const int64_t length = platform::file_length(file);
    if (length < 0 || length > WAVE_FILE_LIMIT) return false;
    bytes.resize(static_cast<size_t>(length));
    return platform::read_at(file, bytes.data(), bytes.size(), 0) == length;
}

float gain_of(int db100) {
    if (db100 <= SOUND_SILENCE_DB100) return 0.0f;
    return static_cast<float>(std::pow(10.0, db100 / 2000.0));
}

}  // namespace

SoundSystem* sound_system() { return system_slot().get(); }

SoundSystem& create_sound_system() {
    destroy_sound_system();
    return system_slot().create(ShutdownStep::SOUND, destroy_sound_system);
}

void destroy_sound_system() {
    system_slot().destroy([](SoundSystem& system) {
        for (int slot = SOUND_SLOT_COUNT - 1; slot >= 0; --slot) release_slot(slot);
        stop_sound(system.device);
    });
}

int start_sound(SoundDevice& device, uint32_t window) {
    if (device.started) return 1;
    std::string reason;
    if (!platform::open_audio_output(platform::AudioUser::SOUND, reason)) {
        append_error_log(("No sound device: " + reason).c_str());
        return 0;
    }
    device.started = true;
    device.capabilities = platform::audio_output_format();
    device.window = window;
    // A display-mode change brings a new window; the device follows it.
    device.window_listener = screen_hooks().window_changed.add([](uint32_t new_window) {
        if (SoundSystem* system = sound_system()) set_sound_window(system->device, new_window);
    });
    return 1;
}

void set_sound_window(SoundDevice& device, uint32_t window) { device.window = window; }

void stop_sound(SoundDevice& device) {
    if (!device.started) return;
    platform::close_audio_output(platform::AudioUser::SOUND);
    screen_hooks().window_changed.remove(device.window_listener);
    device = SoundDevice{};
}

int load_wave(int slot) {
    SoundSlot* s = slot_record(slot);
    if (s == nullptr) return 0;
    std::vector<uint8_t> file;
    if (!read_whole_file(s->file_name, file)) return 0;
    const WaveInfo info = parse_wave(file);
    if (info.status != WaveStatus::OK) return 0;
    std::vector<int16_t> samples = wave_stereo_samples(info, file);
    file = std::vector<uint8_t>();
    std::string reason;
    s->buffer = platform::create_sound_buffer(samples.data(), samples.size() / 2,
                                              static_cast<int>(info.rate), reason);
    if (s->buffer == nullptr) {
        s->device = nullptr;
        return 0;
    }
    return 1;
}

int free_copy(int slot) {
    SoundSlot* s = slot_record(slot);
    if (s == nullptr || s->copy_count <= 0) return -1;
    if (!platform::voice_playing(voice_of(slot, s->next_copy))) return s->next_copy;
    if (s->copy_count < 2) return -1;
    s->next_copy = (s->next_copy + 1) % s->copy_count;
    // Still playing too: the oldest sound is cut off (the play starts it from the top).
    platform::stop_voice(voice_of(slot, s->next_copy));
    return s->next_copy;
}

SideGains side_gains(int volume_db100, int pan) {
    // The side away from the pan is attenuated by |pan| hundredths of a decibel.
    return SideGains{gain_of(volume_db100 - std::max(pan, 0)),
                     gain_of(volume_db100 + std::min(pan, 0))};
}

int play_slot(int slot, int pan, int volume, int /*flags*/) {
    SoundSlot* s = slot_record(slot);
    if (s == nullptr || s->device == nullptr || !s->device->started || s->copy_count <= 0 ||
        s->buffer == nullptr)
        return -1;
    const int copy = free_copy(slot);
    if (copy < 0) return -1;
    // The device takes no gain above full level and no pan past either side.
    const int db100 = std::clamp(volume, 0, 100) * 100 + SOUND_SILENCE_DB100;
    const SideGains gains = side_gains(db100, std::clamp(pan, -10000, 10000));
    if (!platform::play_voice(voice_of(slot, copy), s->buffer, gains.left, gains.right))
        return -1;
    return copy;
}

bool copy_playing(int slot, int copy) {
    const SoundSlot* s = slot_record(slot);
    return s != nullptr && copy >= 0 && copy < s->copy_count &&
           platform::voice_playing(voice_of(slot, copy));
}

void stop_slot(int slot) {
    const SoundSlot* s = slot_record(slot);
    if (s == nullptr) return;
    for (int copy = 0; copy < s->copy_count; ++copy) platform::stop_voice(voice_of(slot, copy));
}

void release_slot(int slot) {
    SoundSlot* s = slot_record(slot);
    if (s == nullptr) return;
    stop_slot(slot);
    platform::free_sound_buffer(s->buffer);
    s->buffer = nullptr;
    s->copy_count = 0;
    s->next_copy = 0;
}

}  // namespace runtime
