// The sound commands on the slot table: numbers truncated, clamped to the slot rules,
// then handed to the engine-side operations.
#include "runtime/sound/sound_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "runtime/files/packed_archive.h"
#include "runtime/sound/sound_slots.h"

namespace runtime {

namespace {

// Truncation towards zero that saturates, so a huge slot number still means "the last
// slot"; NaN counts as the most negative number and is refused with the negatives.
int32_t to_int32(double value) {
    if (std::isnan(value) || value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

// The slot a command means, or -1 for a negative number.
int command_slot(double slot) {
    const int32_t n = to_int32(slot);
    return n < 0 ? -1 : std::min(n, SOUND_COMMAND_SLOTS - 1);
}

}  // namespace

double load_sound(const DynString& file, double slot_number, double copies) {
    SoundSystem* system = sound_system();
    const int slot = command_slot(slot_number);
    if (system == nullptr || slot < 0) return 0.0;
    // A failed lookup leaves the name empty, and the load fails on it.
    char name[ARCHIVE_PATH_SIZE] = {};
    resolve_packed_name(file.text_of(), name);

    SoundSlot& s = system->slots[static_cast<size_t>(slot)];
    release_slot(slot);
    s.device = &system->device;
    if (!system->device.started) {
        s.file_name.clear();
        return 0.0;
    }
    s.copy_count = std::clamp(to_int32(copies), 1, SOUND_COPY_MAX);
    s.file_name = name;
    const int loaded = load_wave(slot);
    s.file_name.clear();
    // A file that cannot be read leaves the slot empty.
    if (loaded == 0) s.copy_count = 0;
    return loaded;
}

double play_sound(double slot_number, double pan, double volume) {
    const int slot = command_slot(slot_number);
    if (slot < 0) return -1.0;
    // NaN pans to the centre and plays silently.
    const int pan_db100 = std::isnan(pan) ? 0 : static_cast<int>(std::clamp(pan, -1.0, 1.0) * 10000.0);
    const int level = std::isnan(volume) ? 0 : static_cast<int>(std::clamp(volume * 100.0, 0.0, 100.0));
    const int copy = play_slot(slot, pan_db100, level, 0);
    return copy < 0 ? -1.0 : static_cast<double>(slot * SOUND_CHANNEL_STRIDE + copy);
}

double sound_playing(double channel) {
    const int32_t n = to_int32(channel);
    if (n < 0) return 0.0;
    const int slot = n / SOUND_CHANNEL_STRIDE;
    const int copy = n % SOUND_CHANNEL_STRIDE;
    return copy_playing(slot, copy) ? 1.0 : 0.0;
}

void stop_all_sounds() {
    for (int slot = 0; slot < SOUND_COMMAND_SLOTS; ++slot) stop_slot(slot);
}

}  // namespace runtime
