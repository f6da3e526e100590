// Best-first grid search of the A* family: search nodes, their pool, the closed set, the
// open list (a heap that pops in the order of a sorted list), and the planner that
// find_path runs per query.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

namespace runtime {

// One search node; every cell of the grid is represented by at most one node.
struct Node {
    Node* parent = nullptr;  // the node this one was reached from; null for the start
    int32_t x = 0;
    int32_t y = 0;
    float score = 0;  // ordering key of the open list
    float cost = 0;   // path cost from the start
    Node* bucket_next = nullptr;
};

// Search parameters, copied into the planner by prepare().
struct PlannerParams {
    int32_t start_x = 0;
    int32_t start_y = 0;
    int32_t goal_x = 0;
    int32_t goal_y = 0;
    uint8_t scale_diagonal = 0;  // 1: a diagonal step costs DIAGONAL_SCALE times the cell cost
    uint8_t allow_diagonal = 0;  // 0: only the four orthogonal neighbours are expanded
    int32_t node_capacity = 0;   // 0 (or less): width * height
    int32_t open_capacity = 0;   // 0 (or less): width * height
    int32_t hash_bits = 8;
    float weight = 0;  // 0: by cost alone (Dijkstra), 0.5: A*, 1: by the estimate alone
    int32_t width = 0;
    int32_t height = 0;
    const double* costs = nullptr;  // width * height values, cell (x, y) at x + width * y
};

constexpr float DIAGONAL_SCALE = 1.4142137f;
constexpr float BLOCKED_CELL = -1.0f;
constexpr int32_t MAX_HASH_BITS = 24;

// Ring buffer of fixed capacity. head = tail holds both when empty and when full, so
// `empty` tells them apart. Inserting and erasing shift the shorter side in place, in
// contiguous runs.
template <class T>
class FixedDeque {
public:
    T* items = nullptr;
    int32_t capacity = 0;
    int32_t head = 0;  // index of the first element
    int32_t tail = 0;  // index after the last element
    bool empty = true;

    FixedDeque() = default;
    FixedDeque(const FixedDeque&) = delete;
    FixedDeque& operator=(const FixedDeque&) = delete;
    virtual ~FixedDeque() { delete[] items; }

    // Makes room for `slots` elements, dropping the old ones; false when there is no storage.
    bool init(int32_t slots) {
        delete[] items;
        items = nullptr;
        capacity = 0;
        clear();
        if (slots < 1) return false;
        items = new (std::nothrow) T[static_cast<size_t>(slots)];
        if (items == nullptr) return false;
        capacity = slots;
        return true;
    }
    void clear() {
        head = 0;
        tail = 0;
        empty = true;
    }
    int32_t size() const {
        if (empty) return 0;
        int32_t n = tail - head;
        return n <= 0 ? n + capacity : n;
    }
    bool full() const { return !empty && head == tail; }
    T& at(int32_t i) { return items[wrap(head + i)]; }
    const T& at(int32_t i) const { return items[wrap(head + i)]; }
    T& back() { return items[step_back(tail)]; }
    void pop_back() {
        if (empty) return;
        tail = step_back(tail);
        empty = head == tail;
    }
    bool push_back(const T& value) {
        if (capacity < 1 || full()) return false;
        items[tail] = value;
        tail = step_on(tail);
        empty = false;
        return true;
    }
    bool push_front(const T& value) {
        if (capacity < 1 || full()) return false;
        head = step_back(head);
        items[head] = value;
        empty = false;
        return true;
    }
    // Puts `value` in front of element i (i = size() appends); false when full or i is out of range.
    bool insert(int32_t i, const T& value) {
        const int32_t n = size();
        if (capacity < 1 || full() || i < 0 || i > n) return false;
        if (i < n - i) {
            head = step_back(head);
            shift_toward_head(1, i);
        } else {
            shift_toward_tail(i, n - i);
            tail = step_on(tail);
        }
        items[wrap(head + i)] = value;
        empty = false;
        return true;
    }
    // Removes element i; false when i is out of range.
    bool erase(int32_t i) {
        const int32_t n = size();
        if (i < 0 || i >= n) return false;
        if (i < n - 1 - i) {
            shift_toward_tail(0, i);
            head = step_on(head);
        } else {
            shift_toward_head(i + 1, n - 1 - i);
            tail = step_back(tail);
        }
        empty = n == 1;
        return true;
    }

private:
    // Moves the elements first...first + count - 1 one place towards the tail, in runs that
    // do not cross the end of the buffer.
    void shift_toward_tail(int32_t first, int32_t count) {
        while (count > 0) {
            const int32_t from = wrap(head + first + count - 1);  // last element still to move
            const int32_t to = step_on(from);
            const int32_t run = std::min(count, std::min(from, to) + 1);
            move_run(to - run + 1, from - run + 1, run);
            count -= run;
        }
    }
    // Moves the elements first...first + count - 1 one place towards the head.
    void shift_toward_head(int32_t first, int32_t count) {
        while (count > 0) {
            const int32_t from = wrap(head + first);  // first element still to move
            const int32_t to = step_back(from);
            const int32_t run = std::min(count, capacity - std::max(from, to));
            move_run(to, from, run);
            first += run;
            count -= run;
        }
    }
    void move_run(int32_t to, int32_t from, int32_t run) {
        if constexpr (std::is_trivially_copyable_v<T>) {
            std::memmove(static_cast<void*>(items + to), items + from, sizeof(T) * static_cast<size_t>(run));
        } else if (to < from) {
            std::move(items + from, items + from + run, items + to);
        } else {
            std::move_backward(items + from, items + from + run, items + to + run);
        }
    }
    int32_t wrap(int32_t index) const { return index >= capacity ? index - capacity : index; }
    int32_t step_on(int32_t index) const { return index + 1 == capacity ? 0 : index + 1; }
    int32_t step_back(int32_t index) const { return index == 0 ? capacity - 1 : index - 1; }
};

// The open list as a binary min-heap of items (the planner's node numbers) keyed by (score,
// insertion number). It hands out exactly the item that a list sorted by descending score
// gives from its cheap end, where among equal scores the one inserted first leaves first;
// re-inserting an item with a new score counts as a new insertion. A new score is a new
// entry: the old one stays in the heap, stale, and is skipped when it comes up, so entries
// never need to be found.
class OpenHeap {
public:
    int32_t capacity = 0;  // items held at most
    // Insertion number of the next entry, from 1; renumbered (order kept) before it wraps.
    uint32_t next_order = 1;

    OpenHeap() = default;
    OpenHeap(const OpenHeap&) = delete;
    OpenHeap& operator=(const OpenHeap&) = delete;
    ~OpenHeap();

    // Room for `slots` items out of 0...items - 1, dropping the old ones; false when there
    // is no storage.
    bool init(int32_t slots, int32_t items);
    void clear();
    int32_t size() const { return held; }
    bool empty() const { return held == 0; }
    bool contains(int32_t item) const {
        return item >= 0 && item < item_count && live_order[item] != 0;
    }
    // Adds an item that is not held yet; false when `capacity` items are held.
    bool push(int32_t item, float score);
    // Gives a held item a new score and a new insertion number.
    void update(int32_t item, float score);
    // Takes out the held item with the least key; -1 when empty.
    int32_t pop();
    // Calls f(item) for every held item.
    template <class F>
    void for_each_item(F f) const {
        for (int32_t i = 0; i < stored; ++i) {
            if (live(entries[i])) f(entries[i].item);
        }
    }

private:
    struct Entry {
        uint64_t key;  // ordered score bits above the insertion number
        int32_t item;
    };
    bool live(const Entry& entry) const {
        return static_cast<uint32_t>(entry.key) == live_order[entry.item];
    }
    uint64_t key_for(float score);
    void add(int32_t item, uint64_t key);
    void sift_up(int32_t i, Entry entry);
    void sift_down(int32_t i, Entry entry);
    void drop_stale();
    void renumber();
    void release();

    Entry* entries = nullptr;
    int32_t stored = 0;  // entries, stale ones included
    int32_t room = 0;    // entries that fit
    // Per item: the insertion number of its live entry, 0 when the item is not held.
    uint32_t* live_order = nullptr;
    int32_t item_count = 0;
    int32_t held = 0;
};

// The closed set. Either 2^hash_bits bucket chains linked through Node::bucket_next, or,
// when the grid is known, one slot per cell so that every lookup takes constant time.
class NodeHashTable {
public:
    NodeHashTable() = default;
    NodeHashTable(const NodeHashTable&) = delete;
    NodeHashTable& operator=(const NodeHashTable&) = delete;
    virtual ~NodeHashTable();

    // Bucket chains; hash_bits is limited to 0...24 and made even. False when no storage.
    bool init(int32_t hash_bits);
    // One slot per cell of a width x height grid. False when no storage.
    bool init_cells(int32_t width, int32_t height);
    // The node held for cell (x, y), or null; remembered for remove_found().
    Node* find(int32_t x, int32_t y) {
        if (grid_width == 0) return find_in_bucket(x, y);
        found_link = nullptr;
        if (x < 0 || y < 0 || x >= grid_width || y >= grid_height) return nullptr;
        Node** slot = &heads[x + static_cast<int64_t>(grid_width) * y];
        if (*slot != nullptr) found_link = slot;
        return *slot;
    }
    // Takes the node found by the last successful find() out of the set.
    void remove_found();
    // Adds a node; false when it is already held (in cell mode: when its cell holds one).
    bool insert(Node* node);
    // Forgets every node.
    void clear();
    int32_t count() const { return node_count; }
    int32_t bucket_count() const { return buckets; }
    // The bucket of (x, y): (x AND m) OR ((y AND m) << bits / 2), m = 2^(bits / 2) - 1.
    int32_t bucket_of(int32_t x, int32_t y) const;

private:
    Node* find_in_bucket(int32_t x, int32_t y);
    void release();

    Node** heads = nullptr;  // bucket heads, or cell slots in cell mode
    int32_t buckets = 0;
    int32_t bits = 0;
    int32_t grid_width = 0;  // non-zero: cell mode
    int32_t grid_height = 0;
    int32_t node_count = 0;
    Node** found_link = nullptr;  // the link that points at the node found last
};

// Pool of nodes allocated at once; take() hands out the next free one.
class NodeFactory {
public:
    NodeFactory() = default;
    NodeFactory(const NodeFactory&) = delete;
    NodeFactory& operator=(const NodeFactory&) = delete;
    virtual ~NodeFactory();

    // Frees the old nodes and allocates `size` new ones; false when there is no storage.
    bool init(int32_t node_count);
    // The next free node (fields reset), or null when every node is handed out.
    Node* take();
    // Lowers the next-free index by `count` nodes given back.
    void give_back(int32_t count);
    int32_t size() const { return pool_size; }
    int32_t next_free() const { return next_index; }
    // Nodes by their place in the pool, so that per-cell tables can hold 32-bit numbers.
    int32_t number_of(const Node* node) const { return static_cast<int32_t>(node - nodes); }
    Node* node_at(int32_t number) const { return nodes + number; }

private:
    Node* nodes = nullptr;
    int32_t pool_size = 0;
    int32_t next_index = 0;
};

// Search state shared by the planners: set-up, the pool, the grid, the open list and the
// closed set. A planner lives for one query; its destructor frees everything.
class Planner {
public:
    bool found = false;
    NodeFactory factory;
    PlannerParams params;
    float* grid = nullptr;  // width * height normalised costs, BLOCKED_CELL where impassable
    int32_t search_count = 0;
    OpenHeap open;
    NodeHashTable closed;
    Node* path_head = nullptr;  // the goal node once found

    Planner() = default;
    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;
    virtual ~Planner();

    // Copies the parameters and builds the grid; false when a coordinate is outside the
    // grid, start equals goal, no cell is passable or there is no storage.
    bool prepare(const PlannerParams& setup);
    // found = 0, count of searches = 0, path head = null.
    void reset();
    // Gets a search going; the base planner only resets.
    virtual void start() { reset(); }
    // Runs the search; true when it has finished (found tells whether the goal was reached).
    virtual bool search() = 0;
    // Empties the open list and the closed set, gives their nodes back, path head = null.
    virtual void clear();

protected:
    int32_t cell_of(int32_t x, int32_t y) const { return x + params.width * y; }
    // Puts a node on the open list; false when the list is full.
    bool open_insert(Node* node);
    void release();

    // Per cell: its node's pool number + 1 while on the open list, else 0.
    int32_t* open_cells = nullptr;
};

class AStarPlanner : public Planner {
public:
    // Resets, then puts the start cell's node on the open list.
    void start() override;
    bool search() override;
};

}  // namespace runtime
