// Background music on SDL2_mixer: the file is decoded and looped by the mixer's music
// channel, so no timer is needed to start it again. It plays on the one audio output
// that the sound slots use too.
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <string>

#include "runtime/platform/audio.h"
#include "runtime/platform/media.h"

namespace runtime::platform {

namespace {
struct MusicPlayer {
    bool audio_open = false;
    Mix_Music* music = nullptr;
};
MusicPlayer& music_player() {
    static MusicPlayer player;
    return player;
}

bool open_audio() {
    MusicPlayer& player = music_player();
    if (player.audio_open) return true;
    std::string reason;
    if (!open_audio_output(AudioUser::MUSIC, reason)) return false;
    player.audio_open = true;
    return true;
}
}  // namespace

bool play_music_looping(const std::string& file) {
    stop_music();
    if (!open_audio()) return false;
    MusicPlayer& player = music_player();
    player.music = Mix_LoadMUS(file.c_str());
    if (player.music == nullptr || Mix_PlayMusic(player.music, -1) != 0) {
        stop_music();
        return false;
    }
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    return true;
}

void set_music_volume(double volume) {
    if (!music_player().audio_open) return;
    const double clamped = std::clamp(volume, 0.0, 1.0);
    Mix_VolumeMusic(static_cast<int>(clamped * MIX_MAX_VOLUME));
}

int music_volume_level() {
    if (!music_player().audio_open) return -1;
    return Mix_VolumeMusic(-1);
}

bool music_playing() {
    return music_player().music != nullptr && Mix_PlayingMusic() != 0;
}

void stop_music() {
    MusicPlayer& player = music_player();
    if (player.music != nullptr) {
        Mix_HaltMusic();
        Mix_FreeMusic(player.music);
        player.music = nullptr;
    }
    if (player.audio_open) {
        close_audio_output(AudioUser::MUSIC);
        player.audio_open = false;
    }
}

}  // namespace runtime::platform
