// Video in the window (blocking, ended by a key or a mouse button) and media played
// in the background in an endless loop.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Plays the video in the main window, fitted and centred; loop 1 repeats until a key
// or button, loop 0 plays once (a key or button ends it early). 0 played, 3 when the
// file cannot be played (the window is not touched then). Sound tracks are not played.
double play_video(const DynString& file, double loop);

// Starts the media file in the background, repeating without end, at full volume.
void play_background_media(const DynString& file);
// Volume 0..1 of the background media (when something plays).
void set_background_volume(double volume);
void stop_background_media();

// Where a source picture of sw x sh goes in a client area of cw x ch: scaled by the
// smaller ratio (rounded to nearest), centred with integer halves.
struct VideoRect {
    int x = 0, y = 0, width = 0, height = 0;
};
VideoRect fit_video_rect(int source_width, int source_height, int client_width, int client_height);

// What the last play_video call did (figures and tests).
struct VideoStats {
    int frames_shown = 0;
    int loops = 0;  // times the video started again from the beginning
    bool ended_by_input = false;
    VideoRect rect;
};
VideoStats& last_video_stats();

// The background player's state: the resolved file while something plays.
struct BackgroundMedia {
    bool playing = false;
    DynString file_name;
};
BackgroundMedia& background_media();

}  // namespace runtime
