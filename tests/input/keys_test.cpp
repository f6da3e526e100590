// Key states, typed characters and the key wait, driven by synthetic key events.
#include <atomic>
#include <chrono>
#include <thread>

#include "input_test_support.h"
#include "runtime/input/input_state.h"
#include "runtime/input/key_codes.h"
#include "runtime/platform/window.h"
#include "runtime/screen/screen_state.h"

namespace runtime::input_test {
namespace {

using KeyState = InputFixture;

TEST_F(KeyState, FollowsPressAndRelease) {
    EXPECT_EQ(key_state(KEY_A), 0.0);
    press(KEY_A);
    EXPECT_EQ(key_state(KEY_A), 1.0);
    EXPECT_EQ(key_state(KEY_A + 256), 1.0);  // only the low 8 bits count
    EXPECT_EQ(key_state(KEY_B), 0.0);
    release(KEY_A);
    EXPECT_EQ(key_state(KEY_A), 0.0);
}

TEST_F(KeyState, ExtendedKeysSitAbove128) {
    press(KEY_UP);
    press(156);  // keypad Enter
    EXPECT_EQ(key_state(KEY_UP), 1.0);
    EXPECT_EQ(key_state(KEY_PAD_8), 0.0);  // another key, 128 below
    EXPECT_EQ(key_state(156), 1.0);
    EXPECT_EQ(key_state(KEY_RETURN), 0.0);
}

TEST_F(KeyState, FocusLossForgetsHeldKeys) {
    press(KEY_A);
    EXPECT_EQ(key_state(KEY_A), 1.0);
    platform::Event e;
    e.kind = platform::EventKind::FOCUS_LOST;
    ASSERT_TRUE(platform::push_event(e));
    EXPECT_EQ(key_state(KEY_A), 0.0);
    screen_state().paused = false;
}

TEST_F(KeyState, FrameLoopSeesTheSameKeys) {
    press(KEY_ESCAPE);
    EXPECT_EQ(key_state(KEY_ESCAPE), 1.0);
    EXPECT_TRUE(frame_key_down(KEY_ESCAPE));
    release(KEY_ESCAPE);
    pump_all();
    EXPECT_FALSE(frame_key_down(KEY_ESCAPE));
}

// The layout comes with the window system.
class ScanToChar : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::init_video()); }
};

TEST_F(ScanToChar, FixedCodesAndFilter) {
    struct Row {
        int code;
        int expected;
    };
    const Row rows[] = {
        {14, 8},    {28, 10},   {156, 10},  {29, 0},  {42, 0},  {54, 0},  {56, 0},
        {58, 0},    {69, 0},    {221, 0},   {1, 0},   {15, 0},  {57, ' '}, {59, 0},
        {200, 0},   {211, 0},   {2, '1'},   {11, '0'}, {79, '1'}, {82, '0'}, {55, '*'},
        {181, '/'}, {30 + 256, 'a'},
    };
    for (const Row& row : rows) EXPECT_EQ(scan_to_char(row.code), row.expected) << row.code;
}

TEST_F(ScanToChar, LettersFollowTheLayout) {
    // The default (US) layout of the offscreen driver.
    EXPECT_EQ(scan_to_char(16), 'q');
    EXPECT_EQ(scan_to_char(21), 'y');
    EXPECT_EQ(scan_to_char(44), 'z');
    EXPECT_EQ(scan_to_char(51), ',');
}

using TypedChar = InputFixture;

TEST_F(TypedChar, AHeldKeyTypesOnce) {
    press(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "a");
    EXPECT_STREQ(typed_char().text_of(), "");
    EXPECT_STREQ(typed_char().text_of(), "");
    release(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "");
    press(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "a");
}

TEST_F(TypedChar, ShiftMakesCapitals) {
    press(KEY_LEFT_SHIFT);
    press(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "A");
    release(KEY_A);
    release(KEY_LEFT_SHIFT);
    EXPECT_STREQ(typed_char().text_of(), "");
    press(KEY_RIGHT_SHIFT);
    press(KEY_B);
    EXPECT_STREQ(typed_char().text_of(), "B");
}

// The character comes from the layout's text for the press, so Shift, AltGr and Caps
// Lock count; characters beyond Latin-1 type nothing.
TEST_F(TypedChar, TheLayoutsTextCarriesEveryModifier) {
    const struct {
        int code;
        const char* text;
        const char* expected;
    } rows[] = {
        {2, "!", "!"},         // Shift+1
        {12, "_", "_"},        // Shift+minus
        {39, ":", ":"},        // Shift+semicolon
        {16, "@", "@"},        // AltGr+q on a German layout
        {KEY_A, "A", "A"},     // Caps Lock
        {26, "\xC3\xBC", "\xFC"},  // u with diaeresis
        {18, "\xE2\x82\xAC", ""},  // the euro sign is not in Latin-1
    };
    for (const auto& row : rows) {
        press_typing(row.code, row.text);
        EXPECT_STREQ(typed_char().text_of(), row.expected) << row.code;
        release(row.code);
        EXPECT_STREQ(typed_char().text_of(), "");
    }
    press(KEY_A);  // a press without text types the key's own character
    EXPECT_STREQ(typed_char().text_of(), "a");
}

TEST_F(TypedChar, ReleasingOneAndPressingAnotherBetweenCallsGivesTheNew) {
    press(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "a");
    release(KEY_A);
    press(KEY_B);
    EXPECT_STREQ(typed_char().text_of(), "b");
}

TEST_F(TypedChar, TheLowestCodeIsExamined) {
    press(KEY_A);
    EXPECT_STREQ(typed_char().text_of(), "a");
    press(KEY_B);  // a (30) is still held and comes before b (48)
    EXPECT_STREQ(typed_char().text_of(), "");
    EXPECT_STREQ(typed_char().text_of(), "");
}

TEST_F(TypedChar, KeyHitSharesTheLastCharacter) {
    press(KEY_A);
    EXPECT_EQ(key_hit(), 1.0);
    EXPECT_STREQ(typed_char().text_of(), "");  // key_hit already took the "a"
    EXPECT_EQ(char_translation().last_typed_char, 'a');
    release(KEY_A);
    EXPECT_EQ(key_hit(), 0.0);
    EXPECT_EQ(char_translation().last_typed_char, 0);
}

TEST_F(TypedChar, ControlKeysTypeNothingButReturnAndBackspaceDo) {
    press(KEY_ESCAPE);
    press(15);  // Tab
    EXPECT_STREQ(typed_char().text_of(), "");
    press(14);  // Backspace
    EXPECT_STREQ(typed_char().text_of(), "\b");
    release(14);
    press(KEY_RETURN);
    EXPECT_STREQ(typed_char().text_of(), "\n");
}

class KeyWait : public InputFixture {
protected:
    void SetUp() override {
        InputFixture::SetUp();
        // Escape must not end the test program while it is one of the keys tried.
        set_escape_ends_program(0);
    }

    // Presses `first` at once and the ending key after a while from another thread;
    // key_wait must return only after the ending key.
    void expect_wait_ends_only_on(int first, int ending) {
        std::atomic<bool> ending_pushed{false};
        press(first);
        std::thread presser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ending_pushed = true;
            press(ending);
        });
        key_wait();
        const bool after_ending = ending_pushed.load();
        presser.join();
        EXPECT_TRUE(after_ending) << "key_wait returned on key " << first;
        release(first);
        release(ending);
        pump_all();
    }
};

TEST_F(KeyWait, EndsOnSpaceNotOnShift) { expect_wait_ends_only_on(KEY_LEFT_SHIFT, KEY_SPACE); }
TEST_F(KeyWait, EndsOnReturnNotOnEscape) { expect_wait_ends_only_on(KEY_ESCAPE, KEY_RETURN); }
TEST_F(KeyWait, EndsOnALetterNotOnAnArrow) { expect_wait_ends_only_on(KEY_UP, KEY_A); }

TEST_F(KeyWait, AKeyAlreadyTypedEndsAtOnceWithoutWaitingForRelease) {
    press(KEY_SPACE);
    key_wait();
    EXPECT_EQ(key_state(KEY_SPACE), 1.0);
    EXPECT_EQ(key_hit(), 0.0);  // the held Space does not count again
}

TEST(KeyStateWithoutInput, ReadsNothing) {
    ASSERT_EQ(input_state(), nullptr);
    EXPECT_EQ(key_state(KEY_ESCAPE), 0.0);
    EXPECT_STREQ(typed_char().text_of(), "");
    key_wait();  // returns at once without input
}

}  // namespace
}  // namespace runtime::input_test
