// DynArray: shapes, capacities, the bounds check and its error stops, redimension,
// push and copy_array.
#include "runtime/core/dyn_array.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/core/lifecycle.h"

using runtime::DynArray;
using runtime::DynString;

namespace {

std::string text(const DynString& s) {
    return std::string(s.text_of(), static_cast<size_t>(s.length));
}

class DynArrayDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

}  // namespace

TEST(DynArray, FreshArrayIsEmpty) {
    DynArray<DynString> a;
    EXPECT_EQ(a.elements, nullptr);
    EXPECT_EQ(a.size0, 0);
    EXPECT_EQ(a.dimension_count, 0);
    EXPECT_EQ(a.capacity, 0);
}

TEST(DynArray, OneStringGivesStepOfEmptyStrings) {
    DynArray<DynString> a;
    runtime::dimension(a, 1, 0, 0, 0);
    EXPECT_EQ(a.size0, 1);
    EXPECT_EQ(a.dimension_count, 1);
    EXPECT_EQ(a.capacity, 64);
    for (int i = 0; i < a.capacity; ++i) EXPECT_EQ(a.elements[i].length, 0);
    runtime::element(a, 0) = "x";
    EXPECT_EQ(text(runtime::element(a, 0)), "x");
}

TEST(DynArray, CapacitySteps) {
    struct Case {
        double size;
        int32_t strings, numbers, bytes;
    };
    const Case cases[] = {
        {0, 64, 8, 64},   {1, 64, 8, 64},     {7, 64, 8, 64},
        {8, 64, 16, 64},  {15, 64, 16, 64},   {16, 64, 24, 64},
        {63, 64, 64, 64}, {64, 128, 72, 128}, {100.9, 128, 104, 128},
    };
    for (const Case& c : cases) {
        DynArray<DynString> s;
        DynArray<double> n;
        DynArray<uint8_t> b;
        runtime::dimension(s, c.size);
        runtime::dimension(n, c.size);
        runtime::dimension(b, c.size);
        EXPECT_EQ(s.capacity, c.strings) << c.size;
        EXPECT_EQ(n.capacity, c.numbers) << c.size;
        EXPECT_EQ(b.capacity, c.bytes) << c.size;
    }
}

TEST(DynArray, ShapeFields) {
    struct Case {
        double d0, d1, d2, d3;
        int32_t count, stride1, stride2, stride3;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0, 0, 0},  {5, 0, 0, 0, 1, 5, 0, 0},  {3, 2, 0, 0, 2, 3, 6, 0},
        {3, 2, 4, 0, 3, 3, 6, 24}, {2, 3, 4, 5, 4, 2, 6, 24}, {2.9, 0.5, -1, 0, 1, 2, 0, 0},
    };
    for (const Case& c : cases) {
        DynArray<double> a;
        runtime::dimension(a, c.d0, c.d1, c.d2, c.d3);
        EXPECT_EQ(a.dimension_count, c.count) << c.d0 << "x" << c.d1 << "x" << c.d2 << "x" << c.d3;
        EXPECT_EQ(a.stride1, c.stride1);
        EXPECT_EQ(a.stride2, c.stride2);
        EXPECT_EQ(a.stride3, c.stride3);
    }
}

TEST(DynArray, FirstIndexFastest) {
    DynArray<double> a;
    runtime::dimension(a, 3, 2, 0, 0);
    EXPECT_EQ(a.stride1, 3);
    EXPECT_EQ(a.dimension_count, 2);
    EXPECT_EQ(&runtime::element(a, 2, 1), a.elements + 5);
    DynArray<uint8_t> b;
    runtime::dimension(b, 2, 3, 4, 5);
    EXPECT_EQ(&runtime::element(b, 1, 2, 3, 4), b.elements + (1 + 2 * 2 + 3 * 6 + 4 * 24));
}

TEST(DynArray, InlineStorageForSmallNumberArrays) {
    DynArray<double> a;
    runtime::dimension(a, 15);
    EXPECT_EQ(a.capacity, 16);
    EXPECT_TRUE(a.uses_inline_storage());
    EXPECT_EQ(a.elements, a.inline_elements.values);
    runtime::dimension(a, 16);
    EXPECT_EQ(a.capacity, 24);
    EXPECT_FALSE(a.uses_inline_storage());
    runtime::dimension(a, 3);  // fits the heap storage: kept
    EXPECT_EQ(a.capacity, 24);
    runtime::dimension(a, 0);  // d0 < 1: fresh storage of one step
    EXPECT_EQ(a.capacity, 8);
    EXPECT_TRUE(a.uses_inline_storage());
}

TEST(DynArray, MoveAndCopyKeepInlineStorageOwn) {
    DynArray<double> a;
    runtime::dimension(a, 4);
    runtime::element(a, 3) = 7.5;
    DynArray<double> b(a);
    EXPECT_TRUE(b.uses_inline_storage());
    EXPECT_EQ(runtime::element(b, 3), 7.5);
    DynArray<double> c(std::move(a));
    EXPECT_TRUE(c.uses_inline_storage());
    EXPECT_EQ(runtime::element(c, 3), 7.5);
    EXPECT_EQ(a.elements, nullptr);  // NOLINT: moved-from arrays are empty
    DynArray<DynString> s;
    runtime::dimension(s, 2);
    runtime::element(s, 1) = "deep";
    DynArray<DynString> t;
    t = s;
    runtime::element(t, 1) = "changed";
    EXPECT_EQ(text(runtime::element(s, 1)), "deep");
}

TEST(DynArray, DimensionAgainEmptiesInPlace) {
    DynArray<DynString> a;
    runtime::dimension(a, 10);
    runtime::element(a, 4) = "keep?";
    DynString* storage = a.elements;
    runtime::dimension(a, 20);
    EXPECT_EQ(a.elements, storage);
    EXPECT_EQ(a.capacity, 64);
    EXPECT_EQ(runtime::element(a, 4).length, 0);
    DynArray<double> n;
    runtime::dimension(n, 30);
    runtime::element(n, 29) = 1;
    runtime::dimension(n, 2);
    EXPECT_EQ(n.elements[29], 0);  // the whole capacity is zeroed
}

TEST(DynArray, RedimensionKeepsOverlap) {
    DynArray<double> a;
    runtime::dimension(a, 4, 4);
    for (int i1 = 0; i1 < 4; ++i1)
        for (int i0 = 0; i0 < 4; ++i0) runtime::element(a, i0, i1) = 10 * i0 + i1 + 1;
    runtime::redimension(a, 2, 8);
    EXPECT_EQ(a.size0, 2);
    EXPECT_EQ(a.size1, 8);
    for (int i1 = 0; i1 < 8; ++i1)
        for (int i0 = 0; i0 < 2; ++i0)
            EXPECT_EQ(runtime::element(a, i0, i1), i1 < 4 ? 10 * i0 + i1 + 1 : 0)
                << i0 << "," << i1;
}

TEST(DynArray, RedimensionStringsAndDroppedDimension) {
    DynArray<DynString> a;
    runtime::dimension(a, 3, 2);
    runtime::element(a, 0, 0) = "a";
    runtime::element(a, 2, 0) = "c";
    runtime::element(a, 1, 1) = "gone";
    runtime::redimension(a, 5);  // the second dimension goes; only i1 = 0 survives
    EXPECT_EQ(a.dimension_count, 1);
    EXPECT_EQ(text(runtime::element(a, 0)), "a");
    EXPECT_EQ(text(runtime::element(a, 2)), "c");
    EXPECT_EQ(runtime::element(a, 1).length, 0);
    EXPECT_EQ(runtime::element(a, 4).length, 0);
    DynArray<DynString> never;
    runtime::redimension(never, 2);
    EXPECT_EQ(never.size0, 2);
}

TEST(DynArray, PushAppendsInOrder) {
    DynArray<DynString> a;
    runtime::dimension(a, 1);
    runtime::element(a, 0) = "first";
    for (int i = 1; i <= 5; ++i) runtime::push(a, DynString(("v" + std::to_string(i)).c_str()));
    EXPECT_EQ(a.size0, 6);
    EXPECT_EQ(a.stride1, 6);
    EXPECT_EQ(a.dimension_count, 1);
    EXPECT_EQ(text(runtime::element(a, 0)), "first");
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(text(runtime::element(a, i)), "v" + std::to_string(i));
}

TEST(DynArray, PushOntoEmptyShapes) {
    DynArray<DynString> zero;
    runtime::dimension(zero, 0);
    runtime::push(zero, DynString("one"));
    EXPECT_EQ(zero.size0, 1);
    EXPECT_EQ(zero.dimension_count, 1);
    EXPECT_EQ(text(runtime::element(zero, 0)), "one");
    DynArray<DynString> never;
    runtime::push(never, "x");
    EXPECT_EQ(never.size0, 1);
    EXPECT_EQ(text(runtime::element(never, 0)), "x");
    DynArray<DynString> third;  // a third dimension without a second: reshaped to one
    runtime::dimension(third, 2, 0, 3);
    runtime::element(third, 1) = "b";
    runtime::push(third, "c");
    EXPECT_EQ(third.size0, 3);
    EXPECT_EQ(third.size2, 0);
    EXPECT_EQ(text(runtime::element(third, 1)), "b");
    EXPECT_EQ(text(runtime::element(third, 2)), "c");
}

TEST(DynArray, ManyPushesKeepEveryValue) {
    DynArray<DynString> a;
    for (int i = 0; i < 100000; ++i) runtime::push(a, DynString(i));
    ASSERT_EQ(a.size0, 100000);
    EXPECT_GE(a.capacity, a.size0);
    EXPECT_EQ(a.capacity % 64, 0);
    for (int i = 0; i < 100000; i += 997)
        EXPECT_EQ(text(runtime::element(a, i)), std::to_string(i));
}

TEST(DynArray, PushOwnElement) {
    DynArray<DynString> a;
    runtime::dimension(a, 64);  // full capacity: the next push moves the storage
    runtime::element(a, 0) = "self";
    runtime::push(a, runtime::element(a, 0));
    EXPECT_EQ(text(runtime::element(a, 64)), "self");
    runtime::push(a, std::move(runtime::element(a, 64)));
    EXPECT_EQ(text(runtime::element(a, 65)), "self");
}

TEST(DynArray, CopyArray) {
    DynArray<double> source;
    runtime::dimension(source, 3, 5);
    for (int i = 0; i < 15; ++i) source.elements[i] = i * 1.5;
    DynArray<double> target;
    runtime::dimension(target, 40);
    runtime::element(target, 39) = 9;
    runtime::copy_array(target, source);
    EXPECT_EQ(target.size0, 3);
    EXPECT_EQ(target.size1, 5);
    EXPECT_EQ(target.dimension_count, 2);
    for (int i1 = 0; i1 < 5; ++i1)
        for (int i0 = 0; i0 < 3; ++i0)
            EXPECT_EQ(runtime::element(target, i0, i1), runtime::element(source, i0, i1));
    runtime::copy_array(target, target);
    EXPECT_EQ(runtime::element(target, 2, 4), 14 * 1.5);
    DynArray<double> empty;
    runtime::copy_array(target, empty);
    EXPECT_EQ(target.size0, 0);
}

TEST_F(DynArrayDeathTest, IndexPastSizeStopsWithNine) {
    DynArray<DynString> a;
    runtime::dimension(a, 1);
    EXPECT_EXIT(runtime::element(a, 1), ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EXIT(runtime::element(a, -1), ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EXIT(runtime::element(a, -1.5), ::testing::ExitedWithCode(9), "stopped: code 9");
    // Indices are truncated toward zero before the check.
    runtime::element(a, 0) = "first";
    EXPECT_EQ(text(runtime::element(a, -0.5)), "first");
    EXPECT_EQ(text(runtime::element(a, 0.99, -0.9, -0.1, 0.5)), "first");
}

TEST_F(DynArrayDeathTest, EveryAccessOfEmptyArrayStops) {
    DynArray<double> a;
    EXPECT_EXIT(runtime::element(a, 0), ::testing::ExitedWithCode(9), "stopped: code 9");
    runtime::dimension(a, 0);
    EXPECT_EQ(a.size0, 0);
    EXPECT_EQ(a.dimension_count, 0);
    EXPECT_EXIT(runtime::element(a, 0), ::testing::ExitedWithCode(9), "stopped: code 9");
}

TEST_F(DynArrayDeathTest, SecondIndexChecked) {
    DynArray<double> a;
    runtime::dimension(a, 3, 2);
    EXPECT_EXIT(runtime::element(a, 0, 2), ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EXIT(runtime::element(a, 3, 0), ::testing::ExitedWithCode(9), "stopped: code 9");
    // A dimension the array does not have takes index 0 only.
    EXPECT_EXIT(runtime::element(a, 0, 1, 1), ::testing::ExitedWithCode(9), "stopped: code 9");
    EXPECT_EXIT(runtime::element(a, 0, 0, 0, 1e30), ::testing::ExitedWithCode(9),
                "stopped: code 9");
    EXPECT_EXIT(runtime::element(a, std::nan(""), 0), ::testing::ExitedWithCode(9),
                "stopped: code 9");
}

TEST_F(DynArrayDeathTest, PushOntoTwoDimensionsStopsWithEight) {
    DynArray<DynString> a;
    runtime::dimension(a, 3, 1);
    EXPECT_EXIT(runtime::push(a, DynString("x")), ::testing::ExitedWithCode(8), "stopped: code 8");
}

TEST_F(DynArrayDeathTest, NoStorageStopsWithSeven) {
    DynArray<DynString> a;
    EXPECT_EXIT(runtime::dimension(a, 1e6, 1e6), ::testing::ExitedWithCode(7), "stopped: code 7");
    DynArray<double> n;
    EXPECT_EXIT(runtime::dimension(n, 3e9), ::testing::ExitedWithCode(7), "stopped: code 7");
}

TEST(DynArray, PushedAndCopiedStringsHaveExactBuffers) {
    DynArray<DynString> a;
    DynString line("<tile gid=\"3\"/>");
    runtime::push(a, line);
    runtime::push(a, DynString());
    runtime::push(a, line + "");        // a temporary with a 512-byte buffer
    runtime::push(a, DynString("ab"));
    DynArray<DynString> copy(a);
    for (const DynArray<DynString>* array : {&a, &copy}) {
        for (int i = 0; i < array->size0; ++i) {
            const DynString& s = array->elements[i];
            EXPECT_EQ(s.capacity, s.length ? static_cast<uint32_t>(s.length) + 1 : 0u) << i;
        }
    }
    EXPECT_EQ(text(runtime::element(copy, 2)), text(line));
    DynString& stored = runtime::element(a, 0);
    EXPECT_EQ(stored.capacity, static_cast<uint32_t>(line.length) + 1);
    EXPECT_NE(stored.buffer, line.buffer);
    EXPECT_EQ(stored == line, 1.0);
    stored += "!";  // grows in the normal steps
    EXPECT_EQ(stored.capacity, 512u);
    EXPECT_EQ(text(stored), "<tile gid=\"3\"/>!");
    EXPECT_EQ(runtime::element(a, 1).length, 0);
}
