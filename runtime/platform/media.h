// Background music of the platform layer: one piece of media played in a loop
// without end, with a volume, beside whatever the sound slots play.
#pragma once

#include <string>

namespace runtime::platform {

// Opens the audio output when needed and plays the file in an endless loop, replacing
// what played before. False (nothing playing) when the file cannot be played.
bool play_music_looping(const std::string& file);
// Volume 0..1 of the music.
void set_music_volume(double volume);
// The music's volume as the mixer holds it, 0..128 (-1 without a mixer).
int music_volume_level();
bool music_playing();
// Stops and frees the music and lets go of the audio output (which closes unless the
// sound slots still hold it).
void stop_music();

}  // namespace runtime::platform
