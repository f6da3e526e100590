// The WAV header walk on memory buffers: the layouts that load, every way a damaged
// file fails, and the samples widened to 16-bit stereo.
#include <gtest/gtest.h>

#include "sound_test_support.h"

namespace runtime::sound_test {
namespace {

std::span<const uint8_t> bytes_of(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

struct WaveCase {
    const char* name;
    WaveSpec form;
    WaveStatus status;
    uint16_t channels;  // the buffer's, when it loads
};

TEST(WaveFile, HeaderLayoutsAndDamage) {
    auto form = [](std::function<void(WaveSpec&)> change) { return constant_wave(8, "\1\1", change); };
    const WaveCase cases[] = {
        {"16-bit stereo", form([](WaveSpec& w) { w.channels = 2; }), WaveStatus::OK, 2},
        {"8-bit mono with fact", form([](WaveSpec& w) { w.bits = 8; w.fact_size = 4; }), WaveStatus::OK, 1},
        {"fact of exactly 1024", form([](WaveSpec& w) { w.fact_size = 1024; }), WaveStatus::OK, 1},
        {"format 30: 14 bytes more", form([](WaveSpec& w) { w.format_size = 30; }), WaveStatus::OK, 1},
        {"format 18 by its size", form([](WaveSpec& w) { w.format_size = 18; }), WaveStatus::OK, 1},
        {"format 18 with 14 bytes more",
         form([](WaveSpec& w) { w.format_size = 18; w.format_extra = 14; }), WaveStatus::OK, 1},
        {"huge format size, 14 bytes more",
         form([](WaveSpec& w) { w.format_size = 0xFFFFFFFF; w.format_extra = 14; }), WaveStatus::OK, 1},
        {"fact over 1024", form([](WaveSpec& w) { w.fact_size = 1025; }), WaveStatus::FACT_TOO_LARGE, 0},
        {"data size past the end", form([](WaveSpec& w) { w.data_size = 17; }), WaveStatus::TRUNCATED, 0},
        {"data size 4 GiB", form([](WaveSpec& w) { w.data_size = 0xFFFFFFFF; }), WaveStatus::TRUNCATED, 0},
        {"cut after the fact",
         form([](WaveSpec& w) { w.fact_size = 1000; w.samples.clear(); w.data_tag = ""; }),
         WaveStatus::TRUNCATED, 0},
        {"LIST before data", form([](WaveSpec& w) { w.data_tag = "LIST"; }), WaveStatus::NO_DATA, 0},
        {"no channels", form([](WaveSpec& w) { w.channels = 0; w.block_align = 2; }), WaveStatus::BAD_FORMAT, 0},
        {"no block align", form([](WaveSpec& w) { w.block_align = 0; }), WaveStatus::BAD_FORMAT, 0},
        {"24 bits", form([](WaveSpec& w) { w.bits = 24; }), WaveStatus::BAD_FORMAT, 0},
        {"rate 0", form([](WaveSpec& w) { w.rate = 0; }), WaveStatus::BAD_FORMAT, 0},
        {"frame smaller than its samples",
         form([](WaveSpec& w) { w.channels = 2; w.block_align = 2; }), WaveStatus::BAD_FORMAT, 0},
        {"less than a frame", form([](WaveSpec& w) { w.channels = 2; w.samples = "\1\2"; }), WaveStatus::EMPTY, 0},
    };
    for (const WaveCase& c : cases) {
        const std::string file = make_wave(c.form);
        const WaveInfo info = parse_wave(bytes_of(file));
        EXPECT_EQ(info.status, c.status) << c.name;
        if (c.status != WaveStatus::OK) {
            EXPECT_TRUE(wave_stereo_samples(info, bytes_of(file)).empty()) << c.name;
            continue;
        }
        EXPECT_EQ(info.channels, c.channels) << c.name;
        EXPECT_EQ(file.substr(info.data_offset), c.form.samples) << c.name;
    }
}

TEST(WaveFile, EveryCutShortFileFails) {
    WaveSpec w = tone_wave(3);
    w.fact_size = 4;
    const std::string file = make_wave(w);
    ASSERT_EQ(parse_wave(bytes_of(file)).status, WaveStatus::OK);
    for (size_t n = 0; n < file.size(); ++n)
        EXPECT_NE(parse_wave(bytes_of(file.substr(0, n))).status, WaveStatus::OK) << n;
}

TEST(WaveFile, SamplesWidenedToStereo) {
    WaveSpec mono8;
    mono8.bits = 8;
    mono8.samples = std::string("\x00\x80\xFF", 3);
    const std::string a = make_wave(mono8);
    EXPECT_EQ(wave_stereo_samples(parse_wave(bytes_of(a)), bytes_of(a)),
              (std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512}));

    WaveSpec three16;  // the third channel and a trailing part frame are dropped
    three16.channels = 3;
    three16.samples = pcm16({-5, 7, 99, 32767, -32768, 99}) + "\1";
    const std::string b = make_wave(three16);
    EXPECT_EQ(wave_stereo_samples(parse_wave(bytes_of(b)), bytes_of(b)),
              (std::vector<int16_t>{-5, 7, 32767, -32768}));
}

}  // namespace
}  // namespace runtime::sound_test
