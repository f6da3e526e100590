// Listener lists: listeners are told in the order added, leave in any order, and may
// join or leave while being told.
#include "runtime/core/listener_list.h"

#include <gtest/gtest.h>

#include <string>

namespace runtime {
namespace {

TEST(ListenerList, AddRemoveAndCallInAnyOrder) {
    std::string told;
    ListenerList<char> list;
    int ids[4];
    for (int i = 0; i < 4; ++i) ids[i] = list.add([&told, i](char c) { told += std::to_string(i) + c; });
    list.call('a');
    list.remove(ids[1]);
    list.remove(ids[1]);  // twice: nothing more
    list.remove(0);
    list.call('b');
    EXPECT_EQ(told, "0a1a2a3a0b2b3b");
    EXPECT_EQ(list.size(), 3u);
    // While told, a listener removes the one after it (not told) and adds one (told from
    // the next call on).
    ListenerList<> chain;
    std::string order;
    int later = 0;
    chain.add([&] {
        order += "r";
        chain.remove(later);
        chain.add([&] { order += "n"; });
    });
    later = chain.add([&] { order += "x"; });
    chain.call();
    chain.call();
    EXPECT_EQ(order, "rrn");
}

TEST(ListenerList, IdsAreUniqueAcrossListsAndResets) {
    ListenerList<> a;
    int told = 0;
    const int kept = a.add([&] { ++told; });
    a = ListenerList<>{};  // a reset, as the screen's hooks are reset
    ListenerList<> b;
    a.add([&] { told += 10; });
    b.add([&] { told += 100; });
    a.remove(kept);  // an id from before the reset removes nothing
    b.remove(kept);
    a.call();
    b.call();
    EXPECT_EQ(told, 110);
}

}  // namespace
}  // namespace runtime
