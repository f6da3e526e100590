// DynString: buffer steps, assignment, appending, concatenation, number text and the
// two comparison families.
#include "runtime/core/dyn_string.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

using runtime::DynString;
using runtime::EMPTY_TEXT;

namespace {

std::string text(const DynString& s) {
    return std::string(s.text_of(), static_cast<size_t>(s.length));
}

}  // namespace

TEST(DynString, FreshStringUsesSharedEmptyText) {
    DynString s;
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 0u);
    EXPECT_EQ(s.buffer, EMPTY_TEXT);
    EXPECT_STREQ(s.text_of(), "");
    // Destroying it must not free the shared text (the sanitizer build catches that);
    // the fields of a destroyed value cannot be read back portably.
    s.~DynString();
    EXPECT_STREQ(EMPTY_TEXT, "");
    new (&s) DynString();  // so the scope's destructor has a valid value
}

TEST(DynString, NullTextGivesEmptyString) {
    DynString s(static_cast<const char*>(nullptr));
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 0u);
    s.assign(static_cast<const char*>(nullptr));
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 512u);
}

TEST(DynString, ReserveRoundsToNextStepAbove) {
    struct Case {
        uint32_t n;
        uint32_t capacity;
    };
    const Case cases[] = {{0, 512}, {1, 512}, {511, 512}, {512, 1024}, {1000, 1024}, {1024, 1536}};
    for (const Case& c : cases) {
        DynString s;
        s.reserve(c.n);
        EXPECT_EQ(s.capacity, c.capacity) << "reserve " << c.n;
        EXPECT_EQ(s.buffer[0], 0);
        EXPECT_EQ(s.length, 0);
    }
}

TEST(DynString, ReserveKeepsTextWhenMoving) {
    DynString s("hello");
    s.reserve(2000);
    EXPECT_EQ(s.capacity, 2048u);
    EXPECT_EQ(text(s), "hello");
    s.reserve(100);  // never shrinks
    EXPECT_EQ(s.capacity, 2048u);
}

TEST(DynString, AssignCapacities) {
    struct Case {
        size_t length;
        uint32_t capacity;
    };
    const Case cases[] = {{0, 512}, {1, 512}, {511, 512}, {512, 1024}, {1023, 1024}, {1024, 1536}};
    for (const Case& c : cases) {
        DynString s;
        std::string source(c.length, 'q');
        s.assign(source.c_str());
        EXPECT_EQ(s.capacity, c.capacity) << c.length;
        EXPECT_EQ(s.length, static_cast<int32_t>(c.length));
        EXPECT_EQ(text(s), source);
    }
}

TEST(DynString, AssignReusesBufferInPlace) {
    DynString s(std::string(700, 'x').c_str());
    char* before = s.buffer;
    s.assign("short");
    EXPECT_EQ(s.buffer, before);
    EXPECT_EQ(s.capacity, 1024u);
    EXPECT_EQ(text(s), "short");
}

TEST(DynString, AssignOwnTail) {
    DynString s("abcdef");
    s.assign(s.buffer + 2);
    EXPECT_EQ(text(s), "cdef");
    s = s;
    EXPECT_EQ(text(s), "cdef");
}

TEST(DynString, ExactAssignment) {
    DynString s(std::string(900, 'y').c_str());
    s.assign_exact("abc");
    EXPECT_EQ(s.capacity, 4u);
    EXPECT_EQ(text(s), "abc");
    s.append("d");  // grows again in the normal steps
    EXPECT_EQ(text(s), "abcd");
    EXPECT_GT(s.capacity, 4u);
    DynString e;
    e.assign_exact("");
    EXPECT_EQ(e.capacity, 1u);
    EXPECT_EQ(e.length, 0);
}

TEST(DynString, CopiesAreDeep) {
    DynString a("one");
    DynString b(a);
    DynString c;
    c = a;
    EXPECT_NE(a.buffer, b.buffer);
    EXPECT_NE(a.buffer, c.buffer);
    b.set_char_at(0, 'X');
    EXPECT_EQ(text(a), "one");
    EXPECT_EQ(text(b), "Xne");
}

TEST(DynString, MoveLeavesSourceEmpty) {
    DynString a("moved");
    DynString b(std::move(a));
    EXPECT_EQ(text(b), "moved");
    EXPECT_EQ(a.buffer, EMPTY_TEXT);  // NOLINT: a moved-from value is a valid empty string
    EXPECT_EQ(a.length, 0);
    DynString c("old");
    c = std::move(b);
    EXPECT_EQ(text(c), "moved");
    EXPECT_EQ(b.length, 0);
}

TEST(DynString, AppendGrowsAcrossStep) {
    DynString s(std::string(511, 'a').c_str());
    EXPECT_EQ(s.capacity, 512u);
    s.append("b");
    EXPECT_EQ(s.capacity, 1024u);
    EXPECT_EQ(s.length, 512);
    EXPECT_EQ(text(s), std::string(511, 'a') + "b");
    EXPECT_EQ(s.buffer[512], 0);
}

TEST(DynString, AppendEveryOperandKind) {
    DynString s("x");
    s += "y";
    s += DynString("z");
    s += 42;
    s += -2.5;
    s += 0.5f;
    EXPECT_EQ(text(s), "xyz42-2.50.5");
    DynString e;
    e += "";
    EXPECT_EQ(e.capacity, 512u);  // every append leaves the value with its own buffer
}

TEST(DynString, AppendSelf) {
    DynString s(std::string(400, 'k').c_str());
    s += s;
    EXPECT_EQ(s.length, 800);
    EXPECT_EQ(text(s), std::string(800, 'k'));
    s.append(s.buffer + 790);
    EXPECT_EQ(s.length, 810);
}

TEST(DynString, LongAppendLoopKeepsEverything) {
    DynString s;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        s += "ab";
        s += i;
        expected += "ab" + std::to_string(i);
    }
    EXPECT_EQ(text(s), expected);
    EXPECT_GT(s.capacity, static_cast<uint32_t>(s.length));
    EXPECT_EQ(s.capacity % 512u, 0u);
}

TEST(DynString, IntegersInPlainDecimal) {
    struct Case {
        int value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"}, {-5, "-5"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const Case& c : cases) {
        DynString s(c.value);
        EXPECT_EQ(text(s), c.text);
        EXPECT_EQ(s.capacity, 512u);
    }
}

TEST(NumberToText, WorkedValues) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {1, "1"},
        {100, "100"},
        {-2.5, "-2.5"},
        {0.5, "0.5"},
        {0.1, "0.1"},
        {0.05, "5.e-002"},
        {0.0123, "1.23e-002"},
        {3.14159265358979, "3.141592654"},
        {1234567890, "1234567890"},
        {1e10, "1.e+010"},
        {12345678901.0, "1.23456789e+010"},
        {static_cast<double>(0.1f), "0.1000000015"},
        {0, "0"},
        {-0.0, "0"},
        {-1234.5, "-1234.5"},
        {9.5, "9.5"},
        {0.25, "0.25"},
        {1e-300, "1.e-300"},
        {-1.5e200, "-1.5e+200"},
        {123456.789, "123456.789"},
        {999999999.5, "999999999.5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(runtime::number_to_text(c.value)), c.text) << c.value;
        EXPECT_EQ(text(DynString(c.value)), c.text) << c.value;
    }
}

TEST(NumberToText, ExponentTakenBeforeRounding) {
    // Just below 0.1: the leading digit's exponent is -2, so the exponent form is used
    // even though the ten digits round up to 1.
    EXPECT_EQ(text(runtime::number_to_text(0.0999999999996)), "1.e-001");
    // Just below 1e10: fixed form with no decimals.
    EXPECT_EQ(text(runtime::number_to_text(9999999999.6)), "10000000000");
}

TEST(NumberToText, FloatOperandsWidenFirst) {
    DynString s(0.1f);
    EXPECT_EQ(text(s), "0.1000000015");
    DynString t("v=");
    t += 0.1f;
    EXPECT_EQ(text(t), "v=0.1000000015");
}

TEST(NumberToText, InfinityAndNaN) {
    EXPECT_EQ(text(runtime::number_to_text(std::numeric_limits<double>::infinity())), "inf");
    EXPECT_EQ(text(runtime::number_to_text(-std::numeric_limits<double>::infinity())), "-inf");
    EXPECT_EQ(text(runtime::number_to_text(std::nan(""))), "nan");
    EXPECT_EQ(runtime::text_to_number("inf"), 0.0);
}

TEST(NumberToText, IntoBufferMatchesValue) {
    char out[40];
    double values[] = {1.0 / 3, -7e-7, 4.5e15, 42};
    for (double v : values) {
        int n = runtime::number_to_text_into(v, out);
        EXPECT_EQ(n, static_cast<int>(std::strlen(out)));
        EXPECT_STREQ(out, runtime::number_to_text(v).text_of());
        EXPECT_LE(n, 31);
    }
}

TEST(DynString, ConcatPairs) {
    DynString px("px");
    DynString eq("x=");
    EXPECT_EQ(text(3 + px), "3px");
    EXPECT_EQ(text(eq + 2.5), "x=2.5");
    EXPECT_EQ(text(runtime::concat(3, "px")), "3px");
    EXPECT_EQ(text(runtime::concat("x=", 2.5)), "x=2.5");
    EXPECT_EQ(text(runtime::concat("a", "b")), "ab");
    EXPECT_EQ(text(runtime::concat(1.5f, "f")), "1.5f");
    EXPECT_EQ(text(runtime::concat("f", 1.5f)), "f1.5");
    EXPECT_EQ(text(runtime::concat(2.0, "d")), "2d");
    EXPECT_EQ(text(runtime::concat("i", -7)), "i-7");
    EXPECT_EQ(text(px + eq), "pxx=");
    EXPECT_EQ(text(px + "!"), "px!");
    EXPECT_EQ(text("!" + px), "!px");
    EXPECT_EQ(text(px + 7), "px7");
    EXPECT_EQ(text(px + 0.5f), "px0.5");
    EXPECT_EQ(text(0.5f + px), "0.5px");
    EXPECT_EQ(text(0.25 + px), "0.25px");
    EXPECT_EQ(text(px), "px");  // operands unchanged
    EXPECT_EQ(text(eq), "x=");
}

TEST(DynString, WritableBufferAndRecount) {
    DynString s;
    char* out = s.writable_buffer(256);
    std::memcpy(out, "abc", 4);
    s.recount_length();
    EXPECT_EQ(s.length, 3);
    EXPECT_EQ(s.capacity, 512u);
    std::memset(s.buffer, 'z', s.capacity);  // no zero within the capacity
    s.recount_length();
    EXPECT_EQ(s.length, 512);
    s.buffer[511] = 0;
    DynString empty;
    empty.recount_length();
    EXPECT_EQ(empty.length, 0);
}

TEST(DynString, TruncateAt) {
    DynString s("hello");
    s.truncate_at(2);
    EXPECT_EQ(text(s), "he");
    EXPECT_EQ(s.length, 2);
}

TEST(DynString, CharCodes) {
    DynString empty;
    EXPECT_EQ(empty.char_code_at(0), 0);
    EXPECT_EQ(empty.char_code_at(7), 0);
    DynString s("A\xE9");
    EXPECT_EQ(s.char_code_at(0), 65);
    EXPECT_EQ(s.char_code_at(1), -23);
    s.set_char_at(0, 0x142);  // only the low 8 bits
    EXPECT_EQ(s.char_code_at(0), 0x42);
    EXPECT_EQ(s.length, 2);
}

TEST(DynString, TrimTrailingControls) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"line\r\n", "line"}, {"word \t", "word "}, {"caf\xE9", "caf"},
        {"\r\n", ""},         {"keep", "keep"},     {"a\x01\xFF\x1F", "a"},
    };
    for (const Case& c : cases) {
        DynString s(c.before);
        s.trim_trailing_controls();
        EXPECT_EQ(text(s), c.after) << c.before;
        EXPECT_EQ(s.length, static_cast<int32_t>(std::strlen(c.after)));
    }
}

TEST(TextToNumber, ReadsLeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12abc", 12},  {"abc", 0}, {"  -3.5e2", -350},  {"", 0},        {"+7", 7},
        {".5x", 0.5},   {"1e", 1},  {"0x1A", 0},         {"\t42\n", 42}, {"-", 0},
        {"1.2.3", 1.2}, {"nan", 0}, {"1e999", HUGE_VAL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runtime::text_to_number(c.text), c.value) << c.text;
        EXPECT_EQ(runtime::text_to_number(DynString(c.text)), c.value) << c.text;
    }
    EXPECT_EQ(runtime::text_to_number(static_cast<const char*>(nullptr)), 0);
}

TEST(CompareStrings, ByteWise) {
    DynString ten("10"), nine("9"), abc("abc"), ABC("ABC");
    EXPECT_EQ(ten < nine, 1.0);
    EXPECT_EQ(ten > nine, 0.0);
    EXPECT_EQ(abc == ABC, 0.0);
    EXPECT_EQ(abc != ABC, 1.0);
    EXPECT_EQ(abc == "abc", 1.0);
    EXPECT_EQ("abc" == abc, 1.0);
    EXPECT_EQ("abd" > abc, 1.0);
    EXPECT_EQ(abc <= "abc", 1.0);
    EXPECT_EQ(abc >= "abd", 0.0);
    EXPECT_EQ(DynString("\xE9") > DynString("z"), 1.0);  // unsigned bytes
    EXPECT_EQ(runtime::compare_raw(abc, "abd") < 0, true);
}

TEST(CompareStrings, EqualBytesDifferentLengthAreUnequal) {
    DynString a("abc");
    DynString b("abcdef");
    b.buffer[3] = 0;  // a direct write without recount_length
    EXPECT_EQ(a == b, 0.0);
    EXPECT_EQ(a != b, 1.0);
    EXPECT_EQ(a == b.text_of(), 1.0);  // the text comparison sees equal bytes
}

TEST(CompareStringNumber, Numeric) {
    DynString two("2"), ten("10");
    EXPECT_EQ(two > 10.0, 0.0);
    EXPECT_EQ(two > ten, 1.0);
    EXPECT_EQ(two < 10, 1.0);
    EXPECT_EQ(10 > two, 1.0);
    EXPECT_EQ(two == 2.0f, 1.0);
    EXPECT_EQ(2.0f == two, 1.0);
    EXPECT_EQ(DynString("abc") == 0, 1.0);
    EXPECT_EQ(two >= 2.0, 1.0);
    EXPECT_EQ(two <= 1.0, 0.0);
    EXPECT_EQ(runtime::compare_three_way(two, 10), -1);
    EXPECT_EQ(runtime::compare_three_way(ten, 2), 1);
    EXPECT_EQ(runtime::compare_three_way(ten, 10), 0);
}

TEST(CompareStringNumber, NaNIsUnordered) {
    double nan = std::nan("");
    DynString one("1");
    EXPECT_EQ(one == nan, 0.0);
    EXPECT_EQ(one != nan, 1.0);
    EXPECT_EQ(one < nan, 0.0);
    EXPECT_EQ(one > nan, 0.0);
    EXPECT_EQ(one <= nan, 0.0);
    EXPECT_EQ(nan >= one, 0.0);
    EXPECT_EQ(runtime::compare_three_way(one, nan), 0);
}

TEST(DynString, ImpossibleSizesFailLikeAnEmptyHeap) {
    DynString s("keep");
    EXPECT_THROW(s.reserve(0xffffffffu), std::bad_alloc);
    EXPECT_EQ(text(s), "keep");
    EXPECT_THROW(s.writable_buffer(0x80000000u), std::bad_alloc);
    EXPECT_EQ(s.capacity, 512u);
}
