// The sound commands: WAV files into numbered slots of one to four copies, played with
// volume and pan. Slots 0..127 (larger numbers use 127); a negative slot is refused.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Loads the file (through the packed-file lookup) into the slot with copies clamped to
// 1..4, first stopping and freeing what the slot held. 1 loaded, 0 not (slot empty).
double load_sound(const DynString& file, double slot, double copies);
// Plays a free copy once: pan -1 (left) .. 1 (right), volume 0 .. 1 on a decibel scale,
// (volume - 1) x 100 dB in whole dB: 1 full, 0.9 -10 dB, 0.5 -50 dB, 0 silence. The channel
// number slot * 256 + copy, or -1 (nothing loaded, no device, the only copy still playing).
double play_sound(double slot, double pan, double volume);
// 1 while the copy behind the channel number plays, else 0 (also for numbers that no
// play gave).
double sound_playing(double channel);
// Stops every copy of slots 0..127.
void stop_all_sounds();

}  // namespace runtime
