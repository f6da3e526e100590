// Entries as numbers and the 16-bit words the binary output keeps of them.
#include "app/entry_words.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryWords, NumbersAreReadLikeTextToNumber) {
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"12abc", 12}, {"abc", 0}, {"  -3.5e2", -350}, {"\t\t7", 7}, {"7\r", 7}, {"", 0},
        {"1.", 1}, {".5", 0.5}, {"1e", 1}, {"0x10", 0}, {"inf", 0}, {"+42", 42}, {"-", 0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(app::entry_number(c.text), c.value) << c.text;
}

TEST(EntryWords, TheWordIsTheLow16BitsOfTheIntegerValue) {
    struct Case { const char* text; uint16_t word; };
    const Case cases[] = {
        {"0", 0}, {"65535", 65535}, {"65536", 0}, {"65537", 1}, {"70000", 4464}, {"-1", 65535},
        {"16.9", 16}, {"-2.5", 65534},
        // Tiles with the editor's flip flags keep the low 16 bits of their number.
        {"2147483649", 1}, {"3221225475", 3}, {"4294967295", 65535},
        {"123456789012345678", static_cast<uint16_t>(static_cast<uint64_t>(123456789012345678.0) & 0xFFFF)},
        {"1e999", 0}, {"not a number", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(app::entry_word(c.text), c.word) << c.text;
}

TEST(EntryWords, OnlyEntriesWithoutAnAngleBracketGiveAWord) {
    EXPECT_TRUE(app::entry_has_word("42"));
    EXPECT_TRUE(app::entry_has_word(""));
    EXPECT_FALSE(app::entry_has_word("<1.0>"));
    EXPECT_FALSE(app::entry_has_word("</map>"));
}

}  // namespace
