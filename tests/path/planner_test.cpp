// The planner's parts on plain data: ring buffer, closed set, node pool, set-up and the
// search itself (including diagonal steps, which find_path never enables).
#include "runtime/path/planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <vector>

#include "tests/path/reference_planner.h"

namespace {

using runtime::AStarPlanner;
using runtime::FixedDeque;
using runtime::Node;
using runtime::NodeFactory;
using runtime::NodeHashTable;
using runtime::PlannerParams;

std::vector<int> contents(const FixedDeque<int>& deque) {
    std::vector<int> out;
    for (int32_t i = 0; i < deque.size(); ++i) out.push_back(deque.at(i));
    return out;
}

TEST(FixedDeque, PushAndPopRespectCapacity) {
    FixedDeque<int> deque;
    ASSERT_TRUE(deque.init(3));
    EXPECT_EQ(deque.size(), 0);
    EXPECT_TRUE(deque.push_back(1));
    EXPECT_TRUE(deque.push_front(0));
    EXPECT_TRUE(deque.push_back(2));
    EXPECT_EQ(deque.size(), 3);  // head = tail, told apart from empty by the flag
    EXPECT_EQ(deque.head, deque.tail);
    EXPECT_TRUE(deque.full());
    EXPECT_FALSE(deque.push_back(3));
    EXPECT_FALSE(deque.push_front(3));
    EXPECT_FALSE(deque.insert(1, 3));
    EXPECT_EQ(contents(deque), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(deque.back(), 2);
    deque.pop_back();
    deque.pop_back();
    deque.pop_back();
    EXPECT_TRUE(deque.empty);
    EXPECT_EQ(deque.size(), 0);
    deque.pop_back();  // popping an empty deque changes nothing
    EXPECT_EQ(deque.size(), 0);
}

TEST(FixedDeque, InsertAndEraseShiftAcrossTheWrap) {
    FixedDeque<int> deque;
    ASSERT_TRUE(deque.init(5));
    deque.push_front(2);  // head wraps to the last slot
    deque.push_front(1);
    deque.push_back(4);
    EXPECT_TRUE(deque.insert(2, 3));
    EXPECT_TRUE(deque.insert(0, 0));
    EXPECT_EQ(contents(deque), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(deque.erase(3));
    EXPECT_TRUE(deque.erase(0));
    EXPECT_EQ(contents(deque), (std::vector<int>{1, 2, 4}));
    EXPECT_FALSE(deque.erase(3));
    EXPECT_FALSE(deque.insert(5, 9));
    EXPECT_FALSE(deque.insert(-1, 9));
    deque.clear();
    EXPECT_EQ(deque.size(), 0);
}

TEST(FixedDeque, BehavesLikeADequeUnderRandomOperations) {
    std::mt19937 random(7);
    for (int capacity : {1, 2, 3, 8, 17}) {
        FixedDeque<int> deque;
        ASSERT_TRUE(deque.init(capacity));
        std::deque<int> model;
        for (int op = 0; op < 4000; ++op) {
            const int value = static_cast<int>(random() % 1000);
            const auto n = static_cast<int32_t>(model.size());
            switch (random() % 5) {
                case 0:
                    EXPECT_EQ(deque.push_back(value), n < capacity);
                    if (n < capacity) model.push_back(value);
                    break;
                case 1:
                    EXPECT_EQ(deque.push_front(value), n < capacity);
                    if (n < capacity) model.push_front(value);
                    break;
                case 2: {
                    const auto at = static_cast<int32_t>(random() % static_cast<uint32_t>(n + 1));
                    EXPECT_EQ(deque.insert(at, value), n < capacity);
                    if (n < capacity) model.insert(model.begin() + at, value);
                    break;
                }
                case 3:
                    if (n > 0) {
                        const auto at = static_cast<int32_t>(random() % static_cast<uint32_t>(n));
                        EXPECT_TRUE(deque.erase(at));
                        model.erase(model.begin() + at);
                    }
                    break;
                default:
                    if (n > 0) {
                        EXPECT_EQ(deque.back(), model.back());
                        deque.pop_back();
                        model.pop_back();
                    }
            }
            ASSERT_EQ(contents(deque), std::vector<int>(model.begin(), model.end()));
            ASSERT_EQ(deque.empty, model.empty());
        }
    }
}

TEST(FixedDeque, RefusesWithoutStorage) {
    FixedDeque<int> deque;
    EXPECT_FALSE(deque.init(0));
    EXPECT_FALSE(deque.push_back(1));
    EXPECT_FALSE(deque.push_front(1));
    EXPECT_FALSE(deque.insert(0, 1));
}

// The heap against the list it replaces: sorted by descending score, a new entry placed
// before the first one whose score is not greater, the cheap end popped. Few distinct
// scores make many ties; starting the insertion numbers near their end forces renumbering.
TEST(OpenHeap, PopsWhatTheSortedListPops) {
    std::mt19937 random(5);
    for (const uint32_t first_order : {0u, 0xFFFFFFFFu - 50}) {
        runtime::OpenHeap heap;
        ASSERT_TRUE(heap.init(40, 64));
        heap.next_order = first_order;
        std::vector<std::pair<float, int32_t>> list;  // (score, cell), cheap end last
        const auto list_insert = [&](int32_t cell, float score) {
            auto at = std::find_if(list.begin(), list.end(),
                                   [&](const auto& e) { return e.first <= score; });
            list.insert(at, {score, cell});
        };
        for (int op = 0; op < 3000; ++op) {
            const auto cell = static_cast<int32_t>(random() % 64);
            const float score = static_cast<float>(random() % 6) * (op % 2 == 0 ? 0.5f : -0.5f);
            const bool held = heap.contains(cell);
            const auto n = static_cast<int32_t>(list.size());
            if (random() % 3 == 0) {
                const int32_t popped = heap.pop();
                ASSERT_EQ(popped, n == 0 ? -1 : list.back().second) << "op " << op;
                if (n > 0) list.pop_back();
            } else if (held) {
                heap.update(cell, score);
                list.erase(std::find_if(list.begin(), list.end(),
                                        [&](const auto& e) { return e.second == cell; }));
                list_insert(cell, score);
            } else {
                ASSERT_EQ(heap.push(cell, score), n < 40);
                if (n < 40) list_insert(cell, score);
            }
            ASSERT_EQ(heap.size(), static_cast<int32_t>(list.size()));
        }
        heap.clear();
        EXPECT_TRUE(heap.empty());
        EXPECT_FALSE(heap.contains(list.empty() ? 0 : list.back().second));
    }
}

TEST(NodeHashTable, BucketsFollowTheLowBitsOfBothCoordinates) {
    NodeHashTable table;
    ASSERT_TRUE(table.init(8));
    EXPECT_EQ(table.bucket_count(), 256);
    EXPECT_EQ(table.bucket_of(3, 5), 3 + 16 * 5);
    EXPECT_EQ(table.bucket_of(19, 37), 3 + 16 * 5);
    EXPECT_EQ(table.bucket_of(15, 15), 255);
    ASSERT_TRUE(table.init(7));  // made even
    EXPECT_EQ(table.bucket_count(), 64);
    EXPECT_EQ(table.bucket_of(9, 9), 1 + 8 * 1);
    ASSERT_TRUE(table.init(40));  // limited to 24
    EXPECT_EQ(table.bucket_count(), 1 << 24);
}

// The same operations in both layouts: chained buckets and one slot per cell.
void exercise_closed_set(NodeHashTable& table) {
    Node a, b, c;
    a.x = 0, a.y = 0;
    b.x = 16, b.y = 0;  // same bucket as a with 8 bits
    c.x = 0, c.y = 16;
    EXPECT_EQ(table.find(0, 0), nullptr);
    EXPECT_TRUE(table.insert(&a));
    EXPECT_TRUE(table.insert(&b));
    EXPECT_TRUE(table.insert(&c));
    EXPECT_FALSE(table.insert(&b));
    EXPECT_FALSE(table.insert(nullptr));
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.find(16, 0), &b);
    table.remove_found();
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.find(16, 0), nullptr);
    EXPECT_EQ(table.find(0, 0), &a);
    EXPECT_EQ(table.find(0, 16), &c);
    table.remove_found();
    table.remove_found();  // nothing found since: no effect
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.find(0, 0), &a);
    EXPECT_EQ(table.find(0, 16), nullptr);
    table.clear();
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(table.find(0, 0), nullptr);
    EXPECT_TRUE(table.insert(&b));
    EXPECT_EQ(table.find(16, 0), &b);
}

TEST(NodeHashTable, ChainedBucketsFindRemoveAndRefuseDuplicates) {
    NodeHashTable table;
    ASSERT_TRUE(table.init(8));
    exercise_closed_set(table);
}

TEST(NodeHashTable, CellSlotsFindRemoveAndRefuseDuplicates) {
    NodeHashTable table;
    ASSERT_TRUE(table.init_cells(17, 17));
    exercise_closed_set(table);
    EXPECT_EQ(table.find(-1, 0), nullptr);
    EXPECT_EQ(table.find(17, 0), nullptr);
    Node outside;
    outside.x = 17;
    EXPECT_FALSE(table.insert(&outside));
    Node twin;  // a second node for a cell that already holds one
    twin.x = 16;
    EXPECT_FALSE(table.insert(&twin));
    EXPECT_FALSE(table.init_cells(0, 5));
}

TEST(NodeFactory, HandsOutNodesInOrderUntilEmpty) {
    NodeFactory factory;
    ASSERT_TRUE(factory.init(3));
    Node* first = factory.take();
    Node* second = factory.take();
    Node* third = factory.take();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(third, first + 2);
    EXPECT_EQ(factory.take(), nullptr);
    EXPECT_EQ(factory.next_free(), 3);
    factory.give_back(2);
    EXPECT_EQ(factory.next_free(), 1);
    second->cost = 5;
    EXPECT_EQ(factory.take(), second);
    EXPECT_EQ(second->cost, 0.0f);  // handed out fresh
    factory.give_back(10);
    EXPECT_EQ(factory.next_free(), 0);
    ASSERT_TRUE(factory.init(1));  // re-initialising frees the old pool
    EXPECT_EQ(factory.size(), 1);
    EXPECT_FALSE(factory.init(0));
    EXPECT_EQ(factory.take(), nullptr);
}

PlannerParams params_for(const std::vector<double>& costs, int32_t width, int32_t height) {
    PlannerParams params;
    params.width = width;
    params.height = height;
    params.costs = costs.data();
    params.goal_x = width - 1;
    params.goal_y = height - 1;
    return params;
}

TEST(Planner, PrepareNormalisesCostsAndBlocksTheRest) {
    const std::vector<double> costs = {1, 3, 0, -4, NAN, INFINITY};
    AStarPlanner planner;
    ASSERT_TRUE(planner.prepare(params_for(costs, 3, 2)));
    EXPECT_FLOAT_EQ(planner.grid[0], 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(planner.grid[1], 2.0f);
    EXPECT_EQ(planner.grid[2], runtime::BLOCKED_CELL);
    EXPECT_EQ(planner.grid[3], runtime::BLOCKED_CELL);
    EXPECT_EQ(planner.grid[4], runtime::BLOCKED_CELL);
    EXPECT_EQ(planner.grid[5], runtime::BLOCKED_CELL);
    EXPECT_EQ(planner.factory.size(), 6);
    EXPECT_EQ(planner.open.capacity, 6);
}

TEST(Planner, PrepareClampsWeightAndHashBits) {
    const std::vector<double> costs(4, 1.0);
    struct Case {
        float weight;
        int32_t bits;
        float expected_weight;
        int32_t expected_bits;
    };
    for (const Case& c : {Case{5, 8, 1, 8}, Case{-2, 9, 0, 8}, Case{NAN, 30, 0, 24},
                          Case{0.25f, -3, 0.25f, 0}}) {
        AStarPlanner planner;
        PlannerParams params = params_for(costs, 2, 2);
        params.weight = c.weight;
        params.hash_bits = c.bits;
        ASSERT_TRUE(planner.prepare(params));
        EXPECT_EQ(planner.params.weight, c.expected_weight);
        EXPECT_EQ(planner.params.hash_bits, c.expected_bits);
    }
}

TEST(PlannerRefusal, BadCoordinatesSameCellsOrNoPassableCell) {
    const std::vector<double> costs(6, 2.0);
    AStarPlanner planner;
    PlannerParams params = params_for(costs, 3, 2);
    params.goal_x = 3;
    EXPECT_FALSE(planner.prepare(params));
    params.goal_x = 2;
    params.start_y = -1;
    EXPECT_FALSE(planner.prepare(params));
    params.start_y = 1;
    params.start_x = 2;  // start = goal
    EXPECT_FALSE(planner.prepare(params));
    const std::vector<double> blocked = {0, -1, 0, NAN, -0.0, 0};
    EXPECT_FALSE(planner.prepare(params_for(blocked, 3, 2)));
    EXPECT_FALSE(planner.prepare(params_for(costs, 0, 2)));
    PlannerParams no_costs = params_for(costs, 3, 2);
    no_costs.costs = nullptr;
    EXPECT_FALSE(planner.prepare(no_costs));
}

TEST(AStarPlanner, SearchFindsGoalAndClearGivesEveryNodeBack) {
    const std::vector<double> costs(25, 1.0);
    AStarPlanner planner;
    ASSERT_TRUE(planner.prepare(params_for(costs, 5, 5)));
    planner.start();
    EXPECT_EQ(planner.open.size(), 1);
    EXPECT_TRUE(planner.search());
    EXPECT_TRUE(planner.found);
    EXPECT_EQ(planner.search_count, 1);
    ASSERT_NE(planner.path_head, nullptr);
    EXPECT_EQ(planner.path_head->x, 4);
    EXPECT_EQ(planner.path_head->y, 4);
    EXPECT_EQ(planner.open.size() + planner.closed.count(), planner.factory.next_free());
    planner.clear();
    EXPECT_EQ(planner.factory.next_free(), 0);
    EXPECT_EQ(planner.open.size(), 0);
    EXPECT_EQ(planner.closed.count(), 0);
    EXPECT_EQ(planner.path_head, nullptr);
    // The planner can run the same query again from its cleared state.
    planner.start();
    EXPECT_TRUE(planner.search());
    EXPECT_TRUE(planner.found);
    EXPECT_EQ(planner.path_head->x, 4);
}

TEST(AStarPlanner, UnreachableGoalEndsWithEmptyOpenListAndNoPathHead) {
    // Column 1 is a wall.
    const std::vector<double> costs = {1, 0, 1, 1, 0, 1, 1, 0, 1};
    AStarPlanner planner;
    ASSERT_TRUE(planner.prepare(params_for(costs, 3, 3)));
    planner.start();
    EXPECT_TRUE(planner.search());
    EXPECT_FALSE(planner.found);
    EXPECT_EQ(planner.path_head, nullptr);
    EXPECT_EQ(planner.closed.count(), 3);
}

TEST(AStarPlanner, TinyPoolOrOpenListEndsTheSearchCleanly) {
    const std::vector<double> costs(64, 1.0);
    for (const auto& [nodes, slots] : {std::pair{3, 0}, std::pair{0, 2}}) {
        AStarPlanner planner;
        PlannerParams params = params_for(costs, 8, 8);
        params.node_capacity = nodes;
        params.open_capacity = slots;
        ASSERT_TRUE(planner.prepare(params));
        planner.start();
        EXPECT_TRUE(planner.search());
        EXPECT_LE(planner.open.size(), planner.open.capacity);
        EXPECT_LE(planner.open.size() + planner.closed.count(), planner.factory.next_free());
        if (nodes == 3) {
            EXPECT_FALSE(planner.found);  // the goal is 14 steps away
        }
        if (planner.found) {
            EXPECT_EQ(planner.path_head->x, 7);
        }
    }
}

std::vector<std::pair<int32_t, int32_t>> run_planner(const PlannerParams& params) {
    std::vector<std::pair<int32_t, int32_t>> path;
    AStarPlanner planner;
    if (!planner.prepare(params)) return path;
    planner.start();
    planner.search();
    for (const Node* node = planner.path_head; node != nullptr; node = node->parent) {
        path.insert(path.begin(), {node->x, node->y});
    }
    return path;
}

// With diagonal steps (scaled or not) the search must still match the plain planner
// point for point.
TEST(AStarPlanner, DiagonalSearchMatchesThePlainPlanner) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const auto width = static_cast<int32_t>(2 + random() % 30);
        const auto height = static_cast<int32_t>(1 + random() % 30);
        std::vector<double> costs(static_cast<size_t>(width * height));
        const bool flat = round % 4 == 0;  // equal costs: many ties
        for (double& cost : costs) {
            cost = random() % 100 < 25 ? 0.0 : (flat ? 1.0 : 1.0 + static_cast<double>(random() % 9));
        }
        PlannerParams params = params_for(costs, width, height);
        params.start_x = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        params.start_y = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        params.goal_x = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        params.goal_y = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        params.allow_diagonal = 1;
        params.scale_diagonal = static_cast<uint8_t>(round % 2);
        params.weight = static_cast<float>(random() % 5) / 4.0f;

        path_reference::Query query;
        query.start_x = params.start_x;
        query.start_y = params.start_y;
        query.goal_x = params.goal_x;
        query.goal_y = params.goal_y;
        query.allow_diagonal = true;
        query.scale_diagonal = params.scale_diagonal != 0;
        query.weight = params.weight;
        query.width = width;
        query.height = height;
        query.costs = costs.data();
        ASSERT_EQ(run_planner(params), path_reference::find_path(query)) << "round " << round;
    }
}

}  // namespace
