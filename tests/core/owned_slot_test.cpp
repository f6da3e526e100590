// The owned slot: the teardown it registers ends the object through the shut-down list,
// and a module's stop step still sees the object in its slot.
#include "runtime/core/owned_slot.h"

#include <gtest/gtest.h>

namespace {

struct Engine {
    int stops = 0;
};

runtime::OwnedSlot<Engine>& engine_slot() {
    static runtime::OwnedSlot<Engine> slot;
    return slot;
}

int stops_seen = 0;
bool held_while_stopping = false;

void destroy_engine() {
    engine_slot().destroy([](Engine& engine) {
        held_while_stopping = engine_slot().get() == &engine;
        stops_seen = ++engine.stops;
    });
}

TEST(OwnedSlot, TheShutDownListEndsTheObjectAfterItsStop) {
    Engine& engine = engine_slot().create(runtime::ShutdownStep::INPUT, destroy_engine);
    EXPECT_EQ(engine_slot().get(), &engine);
    runtime::shut_down_runtime();
    EXPECT_EQ(engine_slot().get(), nullptr);
    EXPECT_EQ(stops_seen, 1);
    EXPECT_TRUE(held_while_stopping);
    destroy_engine();  // an empty slot: nothing to stop
    EXPECT_EQ(stops_seen, 1);
}

}  // namespace
