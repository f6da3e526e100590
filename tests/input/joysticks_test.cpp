// Joysticks through SDL's virtual joystick: hot-plug, names, axes, POV, buttons, rumble.
#include <SDL2/SDL.h>

#include "input_test_support.h"
#include "runtime/input/input_state.h"

namespace runtime::input_test {
namespace {

struct RumbleLog {
    int calls = 0;
    Uint16 low = 0, high = 0;
};
RumbleLog& rumble_log() {
    static RumbleLog log;
    return log;
}

class Joysticks : public InputFixture {
protected:
    void SetUp() override {
        InputFixture::SetUp();
        rumble_log() = RumbleLog{};
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = 6;
        desc.nbuttons = 32;
        desc.nhats = 1;
        desc.name = "Test Pad";
        desc.Rumble = [](void*, Uint16 low, Uint16 high) {
            ++rumble_log().calls;
            rumble_log().low = low;
            rumble_log().high = high;
            return 0;
        };
        device_ = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(device_, 0) << SDL_GetError();
        // The test drives the device through its own handle.
        handle_ = SDL_JoystickOpen(device_);
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override {
        if (handle_ != nullptr) SDL_JoystickClose(handle_);
        if (device_ >= 0) SDL_JoystickDetachVirtual(device_);
        InputFixture::TearDown();
    }
    void set_axis(int axis, Sint16 value) {
        SDL_JoystickSetVirtualAxis(handle_, axis, value);
        SDL_JoystickUpdate();
    }
    void set_hat(Uint8 value) {
        SDL_JoystickSetVirtualHat(handle_, 0, value);
        SDL_JoystickUpdate();
    }
    void set_button(int b, bool down) {
        SDL_JoystickSetVirtualButton(handle_, b, down ? 1 : 0);
        SDL_JoystickUpdate();
    }
    int device_ = -1;
    SDL_Joystick* handle_ = nullptr;
};

TEST_F(Joysticks, APluggedInJoystickIsPickedUpWithItsName) {
    EXPECT_EQ(joystick_count(), 1.0);
    EXPECT_STREQ(joystick_name(0).text_of(), "Test Pad, Test Pad");
    EXPECT_STREQ(joystick_name(1).text_of(), "");
    EXPECT_STREQ(joystick_name(-1).text_of(), "");
    EXPECT_STREQ(joystick_name(99).text_of(), "");
}

TEST_F(Joysticks, AxesMapToTheFullRangeAndClamp) {
    ASSERT_EQ(joystick_count(), 1.0);
    set_axis(0, 32767);
    set_axis(1, -32768);
    set_axis(2, 16384);
    set_axis(3, -16384);
    set_axis(4, 0);
    set_axis(5, 32767);
    platform::JoystickReading reading;
    ASSERT_TRUE(read_joystick(*input_state(), 0, reading));
    EXPECT_EQ(reading.axes[0], 32768);
    EXPECT_EQ(reading.axes[1], -32768);
    EXPECT_EQ(joystick_x(0), 1.0);   // 32768 / 32767 clamped
    EXPECT_EQ(joystick_y(0), -1.0);
    EXPECT_NEAR(joystick_z(0), 16384.5 / 32767.0, 1e-4);
    EXPECT_NEAR(joystick_rx(0), -16384.0 / 32767.0, 1e-9);
    EXPECT_EQ(joystick_ry(0), 0.0);
    EXPECT_EQ(joystick_rz(0), 1.0);
}

TEST_F(Joysticks, HatsBecomePovValues) {
    ASSERT_EQ(joystick_count(), 1.0);
    struct Row {
        Uint8 hat;
        uint32_t pov;
        double x, y;
    };
    const Row rows[] = {
        {SDL_HAT_CENTERED, 0xFFFFFFFFu, 0, 0}, {SDL_HAT_UP, 0, 0, -1},
        {SDL_HAT_RIGHTUP, 4500, 0, 0},          {SDL_HAT_RIGHT, 9000, 1, 0},
        {SDL_HAT_DOWN, 18000, 0, 1},            {SDL_HAT_LEFT, 27000, -1, 0},
        {SDL_HAT_LEFTUP, 31500, 0, 0},
    };
    for (const Row& row : rows) {
        set_hat(row.hat);
        platform::JoystickReading reading;
        ASSERT_TRUE(read_joystick(*input_state(), 0, reading));
        EXPECT_EQ(reading.pov[0], row.pov) << int(row.hat);
        EXPECT_EQ(reading.pov[1], 0xFFFFFFFFu);
        EXPECT_EQ(joystick_pov_x(0), row.x) << int(row.hat);
        EXPECT_EQ(joystick_pov_y(0), row.y) << int(row.hat);
    }
}

TEST_F(Joysticks, ButtonsAndJoystickState) {
    ASSERT_EQ(joystick_count(), 1.0);
    set_button(0, true);
    set_button(31, true);
    set_axis(0, 32767);
    set_axis(1, -20000);
    platform::JoystickReading reading;
    ASSERT_TRUE(read_joystick(*input_state(), 0, reading));
    EXPECT_EQ(reading.buttons[0], 0x80);
    EXPECT_EQ(reading.buttons[1], 0);
    EXPECT_EQ(reading.buttons[31], 0x80);
    double x, y, b1, b2;
    joystick_state(x, y, b1, b2);
    EXPECT_EQ(x, 1.0);
    EXPECT_EQ(y, 0.0);  // -20000 / 30000 truncates to 0
    EXPECT_EQ(b1, 128.0);
    EXPECT_EQ(b2, 0.0);
    set_axis(1, -32768);
    joystick_state(x, y, b1, b2);
    EXPECT_EQ(y, -1.0);
}

TEST_F(Joysticks, RumbleGoesToTheDevice) {
    ASSERT_EQ(joystick_count(), 1.0);
    joystick_rumble(0, 200, 1.0, 0.0);
    ASSERT_EQ(rumble_log().calls, 1);
    EXPECT_EQ(rumble_log().low, 32767);  // (1 + 0) * 10000 * 0.5 of 10000
    joystick_rumble(0, 200, 5.0, -5.0);  // clamped to (1, -1): full strength
    EXPECT_EQ(rumble_log().low, 65535);
    EXPECT_EQ(rumble_log().high, 65535);
    joystick_rumble(3, 200, 1.0, 1.0);  // no such joystick
    EXPECT_EQ(rumble_log().calls, 2);
}

TEST_F(Joysticks, AnUnpluggedJoystickIsDropped) {
    ASSERT_EQ(joystick_count(), 1.0);
    SDL_JoystickClose(handle_);
    handle_ = nullptr;
    ASSERT_EQ(SDL_JoystickDetachVirtual(device_), 0);
    device_ = -1;
    pump_all();
    EXPECT_EQ(joystick_count(), 0.0);
    EXPECT_STREQ(joystick_name(0).text_of(), "");
}

TEST_F(Joysticks, AMissingJoystickReadsCentred) {
    EXPECT_EQ(joystick_x(5), 0.0);
    EXPECT_EQ(joystick_pov_x(5), 0.0);
    EXPECT_EQ(joystick_pov_y(5), 0.0);
    platform::JoystickReading reading;
    EXPECT_FALSE(read_joystick(*input_state(), 5, reading));
    EXPECT_EQ(reading.pov[0], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace runtime::input_test
