// Video made here with libavcodec, played in the window; background media on the
// dummy audio driver.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <GL/gl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "os_fixture.h"
#include "runtime/platform/media.h"
#include "runtime/screen/os/os_video.h"
#include "runtime/screen/screen_state.h"

namespace runtime::os_test {
namespace {

// Writes `frames` solid red frames of w x h at `fps` as MPEG-4 in an AVI file.
bool encode_test_video(const std::string& path, int w, int h, int frames, int fps) {
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str()) < 0) return false;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream* stream = encoder != nullptr ? avformat_new_stream(format, nullptr) : nullptr;
    AVCodecContext* codec = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = stream != nullptr && codec != nullptr && frame != nullptr && packet != nullptr;
    if (ok) {
        codec->width = w;
        codec->height = h;
        codec->time_base = AVRational{1, fps};
        codec->framerate = AVRational{fps, 1};
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        codec->gop_size = 5;
        if (format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(codec, encoder, nullptr) == 0 &&
             avcodec_parameters_from_context(stream->codecpar, codec) >= 0;
        stream->time_base = codec->time_base;
    }
    ok = ok && avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
         avformat_write_header(format, nullptr) >= 0;
    auto drain = [&] {
        while (avcodec_receive_packet(codec, packet) == 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) ok = false;
        }
    };
    if (ok) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = w;
        frame->height = h;
        ok = av_frame_get_buffer(frame, 0) == 0;
    }
    for (int i = 0; ok && i < frames; ++i) {
        ok = av_frame_make_writable(frame) == 0;
        // Red in BT.601 limited range.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) frame->data[0][y * frame->linesize[0] + x] = 81;
        for (int y = 0; y < h / 2; ++y) {
            for (int x = 0; x < w / 2; ++x) {
                frame->data[1][y * frame->linesize[1] + x] = 90;
                frame->data[2][y * frame->linesize[2] + x] = 240;
            }
        }
        frame->pts = i;
        ok = ok && avcodec_send_frame(codec, frame) == 0;
        drain();
    }
    if (ok) {
        avcodec_send_frame(codec, nullptr);
        drain();
        ok = av_write_trailer(format) == 0;
    }
    if (format != nullptr && format->pb != nullptr) avio_closep(&format->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_free_context(format);
    return ok;
}

TEST(VideoFit, ScalesByTheSmallerRatioAndCentres) {
    struct Row {
        int sw, sh, cw, ch;
        VideoRect expected;
    };
    const Row rows[] = {
        {64, 32, 320, 240, {0, 40, 320, 160}}, {100, 100, 320, 240, {40, 0, 240, 240}},
        {3, 2, 10, 10, {0, 1, 10, 7}},         {640, 480, 320, 240, {0, 0, 320, 240}},
        {0, 10, 320, 240, {0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        const VideoRect got = fit_video_rect(r.sw, r.sh, r.cw, r.ch);
        EXPECT_EQ(got.x, r.expected.x) << r.sw << "x" << r.sh;
        EXPECT_EQ(got.y, r.expected.y) << r.sw << "x" << r.sh;
        EXPECT_EQ(got.width, r.expected.width) << r.sw << "x" << r.sh;
        EXPECT_EQ(got.height, r.expected.height) << r.sw << "x" << r.sh;
    }
}

class Video : public OsRuntime {
protected:
    void SetUp() override {
        OsRuntime::SetUp();
        video_ = temp_.file("clip.avi");
        ASSERT_TRUE(encode_test_video(video_, 64, 32, 10, 25));
    }
    std::string video_;
};

TEST_F(Video, PlaysOnceToTheEndFittedIntoTheWindow) {
    EXPECT_EQ(play_video(DynString(video_.c_str()), 0), 0.0);
    const VideoStats& stats = last_video_stats();
    EXPECT_EQ(stats.frames_shown, 10);
    EXPECT_EQ(stats.loops, 0);
    EXPECT_FALSE(stats.ended_by_input);
    EXPECT_EQ(stats.rect.x, 0);
    EXPECT_EQ(stats.rect.y, 40);
    EXPECT_EQ(stats.rect.width, 320);
    EXPECT_EQ(stats.rect.height, 160);
    // The last frame is on screen: red in the picture, black in the bars.
    glReadBuffer(GL_FRONT);
    uint8_t centre[4] = {}, bar[4] = {};
    glReadPixels(160, 120, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    glReadPixels(160, 239 - 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bar);
    glReadBuffer(GL_BACK);
    EXPECT_GT(centre[0], 200);
    EXPECT_LT(centre[1], 60);
    EXPECT_LT(bar[0], 20);
}

TEST_F(Video, TheLoopingFormRepeatsUntilAKey) {
    // The key goes in from the player's own event pumping once it has looped and shown
    // more than ten frames, however slowly the machine plays; a ticker keeps events coming.
    bool pressed = false;
    const int listener = platform::add_event_listener([&pressed](const platform::Event&) {
        if (pressed || last_video_stats().loops < 1 || last_video_stats().frames_shown <= 10) return;
        pressed = true;
        key(30, true);
    });
    std::atomic<bool> playing{true};
    std::thread ticker([&playing] {
        platform::Event tick;
        tick.kind = platform::EventKind::WINDOW_EXPOSED;
        while (playing) {
            platform::push_event(tick);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_EQ(play_video(DynString(video_.c_str()), 1), 0.0);
    playing = false;
    ticker.join();
    platform::remove_event_listener(listener);
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(last_video_stats().ended_by_input);
    EXPECT_GE(last_video_stats().loops, 1);
    EXPECT_GT(last_video_stats().frames_shown, 10);
}

TEST_F(Video, AMouseButtonEndsItEarly) {
    std::thread clicker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        platform::Event e;
        e.kind = platform::EventKind::MOUSE_BUTTON_DOWN;
        e.button = 1;
        platform::push_event(e);
    });
    EXPECT_EQ(play_video(DynString(video_.c_str()), 1), 0.0);
    clicker.join();
    EXPECT_TRUE(last_video_stats().ended_by_input);
    EXPECT_EQ(last_video_stats().loops, 0);
}

using VideoFailure = OsRuntime;

TEST_F(VideoFailure, AnUnplayableFileGivesThree) {
    const std::string junk = temp_.file("junk.avi");
    ASSERT_TRUE(test_support::write_file(junk, "this is not a video at all"));
    EXPECT_EQ(play_video(DynString(junk.c_str()), 0), 3.0);
    EXPECT_EQ(play_video(DynString(temp_.file("missing.avi").c_str()), 1), 3.0);
    EXPECT_EQ(play_video(DynString(""), 0), 3.0);
    EXPECT_EQ(last_video_stats().frames_shown, 0);
}

// A second of 8-bit mono silence as a WAV file.
std::string make_wav(const std::string& path) {
    const uint32_t rate = 8000, samples = 8000;
    std::string wav = "RIFF";
    auto u32 = [&wav](uint32_t v) {
        for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&wav](uint16_t v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>(v >> 8);
    };
    u32(36 + samples);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate);
    u16(1);
    u16(8);
    wav += "data";
    u32(samples);
    wav.append(samples, static_cast<char>(128));
    test_support::write_file(path, wav);
    return path;
}

class BackgroundMedia : public OsRuntime {
protected:
    void SetUp() override {
        // No sound card is needed: the dummy driver unless the caller chose one.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        OsRuntime::SetUp();
    }
    void TearDown() override {
        stop_background_media();
        OsRuntime::TearDown();
    }
};

TEST_F(BackgroundMedia, PlaysLoopingWithVolumeUntilStopped) {
    const std::string wav = make_wav(temp_.file("tune.wav"));
    screen_state().paused = true;
    play_background_media(DynString(wav.c_str()));
    ASSERT_TRUE(background_media().playing);
    EXPECT_TRUE(platform::music_playing());
    EXPECT_FALSE(screen_state().paused);
    EXPECT_EQ(platform::music_volume_level(), 128);
    set_background_volume(0.5);
    EXPECT_EQ(platform::music_volume_level(), 64);
    set_background_volume(0.0);
    EXPECT_EQ(platform::music_volume_level(), 0);
    stop_background_media();
    EXPECT_FALSE(background_media().playing);
    EXPECT_FALSE(platform::music_playing());
}

TEST_F(BackgroundMedia, AFileThatCannotPlayLeavesNothingPlaying) {
    const std::string wav = make_wav(temp_.file("tune.wav"));
    play_background_media(DynString(wav.c_str()));
    ASSERT_TRUE(background_media().playing);
    const std::string junk = temp_.file("junk.ogg");
    test_support::write_file(junk, "not sound");
    play_background_media(DynString(junk.c_str()));  // the old one stops first
    EXPECT_FALSE(background_media().playing);
    EXPECT_FALSE(platform::music_playing());
    play_background_media(DynString(temp_.file("missing.wav").c_str()));
    EXPECT_FALSE(background_media().playing);
    set_background_volume(0.5);  // nothing plays: nothing happens
}

}  // namespace
}  // namespace runtime::os_test
