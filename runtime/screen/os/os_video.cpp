// Video through FFmpeg: frames decoded on this thread, converted to RGBA and drawn as
// one textured quad, timed by their presentation stamps; background media through the
// platform's looping music player.
#include "runtime/screen/os/os_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "runtime/core/lifecycle.h"
#include "runtime/files/packed_archive.h"
#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keys.h"
#include "runtime/input/mouse.h"
#include "runtime/platform/media.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {
// Everything one playback holds; freed on every way out, including the program's end
// while the video plays.
struct VideoPlayer {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    GLuint texture = 0;
    int stream = -1;
    std::vector<uint8_t> rgba;

    ~VideoPlayer() { release(); }
    void release() {
        if (texture != 0 && platform::has_gl_context()) glDeleteTextures(1, &texture);
        texture = 0;
        sws_freeContext(scaler);
        scaler = nullptr;
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

VideoPlayer*& active_player() {
    static VideoPlayer* player = nullptr;
    return player;
}

bool open_video(VideoPlayer& p, const char* path) {
    av_log_set_level(AV_LOG_QUIET);
    if (avformat_open_input(&p.format, path, nullptr, nullptr) != 0) return false;
    if (avformat_find_stream_info(p.format, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    p.stream = av_find_best_stream(p.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (p.stream < 0 || decoder == nullptr) return false;
    p.codec = avcodec_alloc_context3(decoder);
    if (p.codec == nullptr) return false;
    if (avcodec_parameters_to_context(p.codec, p.format->streams[p.stream]->codecpar) < 0) return false;
    if (avcodec_open2(p.codec, decoder, nullptr) != 0) return false;
    if (p.codec->width <= 0 || p.codec->height <= 0) return false;
    p.frame = av_frame_alloc();
    p.packet = av_packet_alloc();
    return p.frame != nullptr && p.packet != nullptr;
}

// The next decoded frame; false at the end of the stream (or on a broken one).
bool next_frame(VideoPlayer& p) {
    for (;;) {
        const int got = avcodec_receive_frame(p.codec, p.frame);
        if (got == 0) return true;
        if (got == AVERROR_EOF) return false;
        if (got != AVERROR(EAGAIN)) return false;
        const int read = av_read_frame(p.format, p.packet);
        if (read < 0) {
            avcodec_send_packet(p.codec, nullptr);  // drain what the decoder holds
            continue;
        }
        if (p.packet->stream_index == p.stream) avcodec_send_packet(p.codec, p.packet);
        av_packet_unref(p.packet);
    }
}

bool rewind(VideoPlayer& p) {
    if (av_seek_frame(p.format, p.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(p.format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    avcodec_flush_buffers(p.codec);
    return true;
}

// Seconds at which the current frame is due, from the start of the video.
double frame_seconds(const VideoPlayer& p) {
    const int64_t stamp = p.frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE) return 0.0;
    const AVStream* s = p.format->streams[p.stream];
    const int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
    return static_cast<double>(stamp - start) * av_q2d(s->time_base);
}

void draw_frame(VideoPlayer& p, const VideoRect& rect, int client_w, int client_h) {
    const int w = p.frame->width, h = p.frame->height;
    p.scaler = sws_getCachedContext(p.scaler, w, h, static_cast<AVPixelFormat>(p.frame->format), w, h,
                                    AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (p.scaler == nullptr) return;
    p.rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    uint8_t* planes[4] = {p.rgba.data(), nullptr, nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    sws_scale(p.scaler, p.frame->data, p.frame->linesize, 0, h, planes, strides);

    flush_sprite_batch();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, client_w, client_h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, client_w, client_h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    if (p.texture == 0) glGenTextures(1, &p.texture);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1, 1, 1, 1);
    const auto x0 = static_cast<float>(rect.x), y0 = static_cast<float>(rect.y);
    const auto x1 = static_cast<float>(rect.x + rect.width);
    const auto y1 = static_cast<float>(rect.y + rect.height);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    platform::swap_buffers();
}

bool button_down() {
    InputState* input = input_state();
    if (input == nullptr) return false;
    MouseReading reading;
    read_mouse(*input, reading);
    return reading.left != 0 || reading.right != 0 || reading.middle != 0;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

VideoRect fit_video_rect(int source_width, int source_height, int client_width, int client_height) {
    VideoRect rect;
    if (source_width <= 0 || source_height <= 0) return rect;
    const double scale = std::min(static_cast<double>(client_width) / source_width,
                                  static_cast<double>(client_height) / source_height);
    rect.width = static_cast<int>(std::lround(source_width * scale));
    rect.height = static_cast<int>(std::lround(source_height * scale));
    rect.x = (client_width - rect.width) / 2;
    rect.y = (client_height - rect.height) / 2;
    return rect;
}

VideoStats& last_video_stats() {
    static VideoStats stats;
    return stats;
}

double play_video(const DynString& file, double loop) {
    VideoStats& stats = last_video_stats();
    stats = VideoStats{};
    char resolved[ARCHIVE_PATH_SIZE] = {};
    if (resolve_packed_name(file.text_of(), resolved) == 0) return 3.0;

    VideoPlayer player;
    if (!open_video(player, resolved)) return 3.0;
    if (!platform::has_gl_context()) return 3.0;
    active_player() = &player;
    // An end of the program while the video plays takes the player down first.
    register_shutdown_step(ShutdownStep::VIDEO_WINDOW, [] {
        if (VideoPlayer* p = active_player()) p->release();
        active_player() = nullptr;
    });

    const int client_w = std::max(window_state().screen_width, 1);
    const int client_h = std::max(window_state().screen_height, 1);
    stats.rect = fit_video_rect(player.codec->width, player.codec->height, client_w, client_h);

    // Input that was already there when the video was asked for does not end it.
    while (key_hit() != 0.0 || button_down()) pump_messages();

    const bool repeat = loop != 0.0;
    auto start = std::chrono::steady_clock::now();
    bool playing = next_frame(player);
    while (playing) {
        if (key_hit() != 0.0 || button_down()) {
            stats.ended_by_input = true;
            break;
        }
        pump_messages();
        const double due = frame_seconds(player);
        if (seconds_since(start) < due) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        draw_frame(player, stats.rect, client_w, client_h);
        ++stats.frames_shown;
        if (next_frame(player)) continue;
        // The end: from the beginning again, or stop.
        if (!repeat || !rewind(player) || !next_frame(player)) break;
        ++stats.loops;
        start = std::chrono::steady_clock::now() -
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(frame_seconds(player)));
    }
    player.release();
    active_player() = nullptr;
    register_shutdown_step(ShutdownStep::VIDEO_WINDOW, {});
    return 0.0;
}

BackgroundMedia& background_media() {
    static BackgroundMedia media;
    return media;
}

void stop_background_media() {
    BackgroundMedia& media = background_media();
    platform::stop_music();
    media.playing = false;
    register_shutdown_step(ShutdownStep::WINDOW_TIMER, {});
}

void play_background_media(const DynString& file) {
    stop_background_media();
    BackgroundMedia& media = background_media();
    char resolved[ARCHIVE_PATH_SIZE] = {};
    if (resolve_packed_name(file.text_of(), resolved) == 0) return;
    media.file_name = resolved;
    // The mixer repeats the music itself: no restart timer is needed.
    if (!platform::play_music_looping(resolved)) return;
    media.playing = true;
    register_shutdown_step(ShutdownStep::WINDOW_TIMER, [] { stop_background_media(); });
    platform::set_music_volume(1.0);
    screen_state().paused = false;
    // A captured mouse is let go and taken again, as after any window that appeared.
    InputState* input = input_state();
    if (input != nullptr && input->pointer_shown == 0) {
        set_system_pointer(1);
        set_system_pointer(0);
    }
}

void set_background_volume(double volume) {
    if (!background_media().playing || !(volume == volume)) return;
    const double steps = std::trunc(volume * 1000.0);
    platform::set_music_volume(steps / 1000.0);
}

}  // namespace runtime
