// The grid planner: set-up of the normalised cost grid and the A* search loop, plus the
// closed set and node pool it runs on.
#include "runtime/path/planner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>

namespace runtime {

namespace {

struct Step {
    int32_t dx;
    int32_t dy;
    bool diagonal;
};

// Neighbour order of the expansion; it decides among equal scores, so it is fixed.
constexpr Step NEIGHBOUR_STEPS[8] = {
    {-1, -1, true}, {0, -1, false}, {1, -1, true}, {1, 0, false},
    {-1, 0, false}, {-1, 1, true},  {0, 1, false}, {1, 1, true},
};

// The same order without the diagonal steps.
constexpr Step ORTHOGONAL_STEPS[4] = {{0, -1, false}, {1, 0, false}, {-1, 0, false}, {0, 1, false}};

}  // namespace

// ---- NodeHashTable ----

NodeHashTable::~NodeHashTable() { release(); }

void NodeHashTable::release() {
    delete[] heads;
    heads = nullptr;
    buckets = 0;
    bits = 0;
    grid_width = 0;
    grid_height = 0;
    node_count = 0;
    found_link = nullptr;
}

bool NodeHashTable::init(int32_t hash_bits) {
    release();
    if (hash_bits < 0) hash_bits = 0;
    if (hash_bits > MAX_HASH_BITS) hash_bits = MAX_HASH_BITS;
    bits = hash_bits & ~1;
    heads = new (std::nothrow) Node*[size_t{1} << bits]();
    if (heads == nullptr) {
        bits = 0;
        return false;
    }
    buckets = int32_t{1} << bits;
    return true;
}

bool NodeHashTable::init_cells(int32_t width, int32_t height) {
    release();
    if (width < 1 || height < 1) return false;
    const int64_t cells = int64_t{width} * height;
    if (cells > std::numeric_limits<int32_t>::max()) return false;
    heads = new (std::nothrow) Node*[static_cast<size_t>(cells)]();
    if (heads == nullptr) return false;
    buckets = static_cast<int32_t>(cells);
    grid_width = width;
    grid_height = height;
    return true;
}

int32_t NodeHashTable::bucket_of(int32_t x, int32_t y) const {
    const int32_t half = bits / 2;
    const uint32_t mask = (uint32_t{1} << half) - 1;
    return static_cast<int32_t>((static_cast<uint32_t>(x) & mask) |
                                ((static_cast<uint32_t>(y) & mask) << half));
}

Node* NodeHashTable::find_in_bucket(int32_t x, int32_t y) {
    found_link = nullptr;
    if (heads == nullptr) return nullptr;
    for (Node** link = &heads[bucket_of(x, y)]; *link != nullptr; link = &(*link)->bucket_next) {
        if ((*link)->x == x && (*link)->y == y) {
            found_link = link;
            return *link;
        }
    }
    return nullptr;
}

void NodeHashTable::remove_found() {
    if (found_link == nullptr || *found_link == nullptr) return;
    Node* node = *found_link;
    *found_link = grid_width > 0 ? nullptr : node->bucket_next;
    node->bucket_next = nullptr;
    --node_count;
    found_link = nullptr;
}

bool NodeHashTable::insert(Node* node) {
    if (node == nullptr || heads == nullptr) return false;
    found_link = nullptr;
    if (grid_width > 0) {
        if (node->x < 0 || node->y < 0 || node->x >= grid_width || node->y >= grid_height) {
            return false;
        }
        Node*& slot = heads[node->x + static_cast<int64_t>(grid_width) * node->y];
        if (slot != nullptr) return false;
        slot = node;
    } else {
        Node*& head = heads[bucket_of(node->x, node->y)];
        for (const Node* held = head; held != nullptr; held = held->bucket_next) {
            if (held == node) return false;
        }
        node->bucket_next = head;
        head = node;
    }
    ++node_count;
    return true;
}

void NodeHashTable::clear() {
    if (heads != nullptr && node_count > 0) {
        std::memset(static_cast<void*>(heads), 0, sizeof(Node*) * static_cast<size_t>(buckets));
    }
    node_count = 0;
    found_link = nullptr;
}

// ---- OpenHeap ----

OpenHeap::~OpenHeap() { release(); }

void OpenHeap::release() {
    std::free(entries);
    entries = nullptr;
    std::free(live_order);
    live_order = nullptr;
    capacity = 0;
    stored = 0;
    room = 0;
    item_count = 0;
    held = 0;
    next_order = 1;
}

bool OpenHeap::init(int32_t slots, int32_t items) {
    release();
    if (slots < 1 || items < 1) return false;
    // A quarter more than the items held leaves room for stale entries between clean-ups.
    const int64_t spare = int64_t{slots} + slots / 4 + 16;
    const auto entry_room =
        static_cast<int32_t>(std::min<int64_t>(spare, std::numeric_limits<int32_t>::max()));
    entries = static_cast<Entry*>(std::malloc(sizeof(Entry) * static_cast<size_t>(entry_room)));
    live_order = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(items), sizeof(uint32_t)));
    if (entries == nullptr || live_order == nullptr) {
        release();
        return false;
    }
    capacity = slots;
    room = entry_room;
    item_count = items;
    return true;
}

void OpenHeap::clear() {
    for (int32_t i = 0; i < stored; ++i) live_order[entries[i].item] = 0;
    stored = 0;
    held = 0;
    next_order = 1;
}

uint64_t OpenHeap::key_for(float score) {
    if (next_order == 0 || next_order == std::numeric_limits<uint32_t>::max()) renumber();
    // Float bits turned so that unsigned order is numeric order; -0 counts as +0.
    uint32_t bits = 0;
    const float value = score == 0 ? 0.0f : score;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    return uint64_t{bits} << 32 | next_order++;
}

void OpenHeap::drop_stale() {
    int32_t kept = 0;
    for (int32_t i = 0; i < stored; ++i) {
        if (live(entries[i])) entries[kept++] = entries[i];
    }
    stored = kept;
    for (int32_t i = stored / 2 - 1; i >= 0; --i) sift_down(i, entries[i]);
}

// A sorted array is a valid heap, so renumbering in key order keeps every comparison.
void OpenHeap::renumber() {
    drop_stale();
    std::sort(entries, entries + stored,
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    for (int32_t i = 0; i < stored; ++i) {
        const auto order = static_cast<uint32_t>(i) + 1;
        entries[i].key = (entries[i].key & ~uint64_t{0xFFFFFFFFu}) | order;
        live_order[entries[i].item] = order;
    }
    next_order = static_cast<uint32_t>(stored) + 1;
}

void OpenHeap::sift_up(int32_t i, Entry entry) {
    while (i > 0) {
        const int32_t parent = (i - 1) / 2;
        if (entries[parent].key <= entry.key) break;
        entries[i] = entries[parent];
        i = parent;
    }
    entries[i] = entry;
}

void OpenHeap::sift_down(int32_t i, Entry entry) {
    for (;;) {
        int32_t child = 2 * i + 1;
        if (child >= stored) break;
        if (child + 1 < stored && entries[child + 1].key < entries[child].key) ++child;
        if (entry.key <= entries[child].key) break;
        entries[i] = entries[child];
        i = child;
    }
    entries[i] = entry;
}

// The item's live entry is named first, so a clean-up here drops its old one.
void OpenHeap::add(int32_t item, uint64_t key) {
    live_order[item] = static_cast<uint32_t>(key);
    if (stored == room) drop_stale();
    sift_up(stored++, Entry{key, item});
}

bool OpenHeap::push(int32_t item, float score) {
    if (held >= capacity || item < 0 || item >= item_count || live_order[item] != 0) return false;
    add(item, key_for(score));
    ++held;
    return true;
}

void OpenHeap::update(int32_t item, float score) {
    if (item < 0 || item >= item_count || live_order[item] == 0) return;
    add(item, key_for(score));
}

int32_t OpenHeap::pop() {
    while (stored > 0) {
        const Entry top = entries[0];
        --stored;
        if (stored > 0) sift_down(0, entries[stored]);
        if (!live(top)) continue;
        live_order[top.item] = 0;
        --held;
        return top.item;
    }
    return -1;
}

// ---- NodeFactory ----

NodeFactory::~NodeFactory() { ::operator delete(nodes); }

bool NodeFactory::init(int32_t node_count) {
    ::operator delete(nodes);
    nodes = nullptr;
    pool_size = 0;
    next_index = 0;
    if (node_count < 1) return false;
    // Raw storage: a node is constructed when handed out, so untouched nodes cost no time.
    nodes = static_cast<Node*>(
        ::operator new(sizeof(Node) * static_cast<size_t>(node_count), std::nothrow));
    if (nodes == nullptr) return false;
    pool_size = node_count;
    return true;
}

Node* NodeFactory::take() {
    if (next_index >= pool_size) return nullptr;
    return new (&nodes[next_index++]) Node();
}

void NodeFactory::give_back(int32_t count) {
    next_index = count >= next_index ? 0 : next_index - (count > 0 ? count : 0);
}

// ---- Planner ----

Planner::~Planner() { release(); }

void Planner::release() {
    delete[] grid;
    grid = nullptr;
    delete[] open_cells;
    open_cells = nullptr;
}

bool Planner::prepare(const PlannerParams& setup) {
    release();
    reset();
    const int32_t width = setup.width;
    const int32_t height = setup.height;
    if (width < 1 || height < 1 || setup.costs == nullptr) return false;
    const int64_t cells = int64_t{width} * height;
    if (cells > std::numeric_limits<int32_t>::max()) return false;
    const auto inside = [&](int32_t x, int32_t y) {
        return x >= 0 && x < width && y >= 0 && y < height;
    };
    if (!inside(setup.start_x, setup.start_y) || !inside(setup.goal_x, setup.goal_y)) return false;
    if (setup.start_x == setup.goal_x && setup.start_y == setup.goal_y) return false;

    // A cost is passable when it is a positive, finite number; NaN and infinity would poison
    // the normalisation of every other cell. Both passes are written as selects of one
    // comparison each, which compile without branches: blocked cells come at random, and
    // mispredicted branches would cost more than the arithmetic.
    constexpr double LARGEST = std::numeric_limits<double>::max();
    double maximum = -1;
    for (int64_t i = 0; i < cells; ++i) {
        const double value = setup.costs[i];
        const double finite = value <= LARGEST ? value : -1.0;  // NaN and infinity out
        maximum = finite > maximum ? finite : maximum;
    }
    if (maximum <= 0) return false;

    const auto count = static_cast<int32_t>(cells);
    grid = new (std::nothrow) float[static_cast<size_t>(cells)];
    open_cells = new (std::nothrow) int32_t[static_cast<size_t>(cells)]();
    const bool stored =
        grid != nullptr && open_cells != nullptr &&
        factory.init(setup.node_capacity > 0 ? setup.node_capacity : count) &&
        open.init(setup.open_capacity > 0 ? setup.open_capacity : count, factory.size()) &&
        closed.init_cells(width, height);
    if (!stored) {
        release();
        return false;
    }
    // Unblocked costs land in (1, 2]: value / maximum + 1.
    for (int64_t i = 0; i < cells; ++i) {
        const double value = setup.costs[i];
        const auto normalised = static_cast<float>(value / maximum + 1.0);
        const float positive = value > 0 ? normalised : BLOCKED_CELL;
        grid[i] = value <= LARGEST ? positive : BLOCKED_CELL;
    }

    params = setup;
    if (params.hash_bits < 0) params.hash_bits = 0;
    if (params.hash_bits > MAX_HASH_BITS) params.hash_bits = MAX_HASH_BITS;
    params.hash_bits &= ~1;
    if (!(params.weight >= 0)) params.weight = 0;  // also NaN
    if (params.weight > 1) params.weight = 1;
    return true;
}

void Planner::reset() {
    found = false;
    search_count = 0;
    path_head = nullptr;
}

void Planner::clear() {
    const int32_t held = open.size() + closed.count();
    if (open_cells != nullptr) {
        open.for_each_item([this](int32_t item) {
            const Node* node = factory.node_at(item);
            open_cells[cell_of(node->x, node->y)] = 0;
        });
    }
    open.clear();
    closed.clear();
    factory.give_back(held);
    path_head = nullptr;
}

bool Planner::open_insert(Node* node) {
    const int32_t number = factory.number_of(node);
    if (!open.push(number, node->score)) return false;
    open_cells[cell_of(node->x, node->y)] = number + 1;
    return true;
}

// ---- AStarPlanner ----

void AStarPlanner::start() {
    Planner::start();
    if (open_cells == nullptr) return;
    Node* node = factory.take();
    if (node == nullptr) return;
    node->x = params.start_x;
    node->y = params.start_y;
    open_insert(node);
}

bool AStarPlanner::search() {
    ++search_count;
    if (grid == nullptr) return true;
    const int32_t width = params.width;
    const int32_t height = params.height;
    const int32_t goal_x = params.goal_x;
    const int32_t goal_y = params.goal_y;
    const float weight = params.weight;
    const float diagonal_scale = params.scale_diagonal != 0 ? DIAGONAL_SCALE : 1.0f;
    const std::span<const Step> steps = params.allow_diagonal != 0
                                            ? std::span<const Step>(NEIGHBOUR_STEPS)
                                            : std::span<const Step>(ORTHOGONAL_STEPS);

    while (!open.empty()) {
        Node* current = factory.node_at(open.pop());
        open_cells[cell_of(current->x, current->y)] = 0;
        if (current->x == goal_x && current->y == goal_y) {
            closed.insert(current);
            found = true;
            path_head = current;
            return true;
        }
        for (const Step& step : steps) {
            const int32_t nx = current->x + step.dx;
            const int32_t ny = current->y + step.dy;
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
            const int32_t cell = cell_of(nx, ny);
            const float cell_cost = grid[cell];
            if (cell_cost < 0) continue;
            const float new_cost = step.diagonal ? current->cost + cell_cost * diagonal_scale
                                                 : current->cost + cell_cost;
            const int32_t estimate = std::abs(goal_x - nx) + std::abs(goal_y - ny);
            const float score = new_cost + weight * (static_cast<float>(estimate) - new_cost);

            if (Node* node = closed.find(nx, ny)) {
                if (node->cost > new_cost) {
                    closed.remove_found();
                    node->parent = current;
                    node->cost = new_cost;
                    node->score = score;
                    open_insert(node);
                }
                continue;
            }
            if (open_cells[cell] != 0) {
                Node* node = factory.node_at(open_cells[cell] - 1);
                if (node->cost > new_cost) {
                    node->parent = current;
                    node->cost = new_cost;
                    node->score = score;
                    open.update(factory.number_of(node), score);
                }
                continue;
            }
            Node* node = factory.take();
            if (node == nullptr) continue;
            node->x = nx;
            node->y = ny;
            node->parent = current;
            node->cost = new_cost;
            node->score = score;
            open_insert(node);
        }
        closed.insert(current);
    }
    return true;
}

}  // namespace runtime
