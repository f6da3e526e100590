// A plain transcription of the grid planner without any speed-ups: a 256-bucket closed
// set, an open list searched by a linear scan from its cheap end. Tests and the path
// benchmark compare the runtime's planner against it, result for result.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace path_reference {

struct Node {
    Node* parent = nullptr;
    int32_t x = 0;
    int32_t y = 0;
    float score = 0;
    float cost = 0;
    Node* bucket_next = nullptr;
};

struct Query {
    int32_t start_x = 0;
    int32_t start_y = 0;
    int32_t goal_x = 0;
    int32_t goal_y = 0;
    bool scale_diagonal = false;
    bool allow_diagonal = false;
    float weight = 0;
    int32_t width = 0;
    int32_t height = 0;
    const double* costs = nullptr;
};

// Ring buffer: insert and erase shift every element behind the position.
class Deque {
public:
    explicit Deque(int32_t slots) : items(static_cast<size_t>(slots)), capacity(slots) {}
    int32_t size() const {
        if (empty) return 0;
        const int32_t n = (tail - head) % capacity;
        return n <= 0 ? n + capacity : n;
    }
    Node*& at(int32_t i) { return items[static_cast<size_t>((head + i) % capacity)]; }
    Node* back() { return at(size() - 1); }
    void pop_back() {
        tail = (tail + capacity - 1) % capacity;
        empty = head == tail;
    }
    bool push_back(Node* node) {
        if (!empty && head == tail) return false;
        items[static_cast<size_t>(tail)] = node;
        tail = (tail + 1) % capacity;
        empty = false;
        return true;
    }
    bool insert(int32_t i, Node* node) {
        const int32_t n = size();
        if (!empty && head == tail) return false;
        tail = (tail + 1) % capacity;
        empty = false;
        for (int32_t k = n; k > i; --k) at(k) = at(k - 1);
        at(i) = node;
        return true;
    }
    void erase(int32_t i) {
        const int32_t n = size();
        for (int32_t k = i; k < n - 1; ++k) at(k) = at(k + 1);
        tail = (tail + capacity - 1) % capacity;
        empty = n == 1;
    }
    bool is_empty() const { return empty; }

private:
    std::vector<Node*> items;
    int32_t capacity;
    int32_t head = 0;
    int32_t tail = 0;
    bool empty = true;
};

// 256 chained buckets: (x mod 16) + 16 * (y mod 16).
class ClosedSet {
public:
    Node* find(int32_t x, int32_t y) {
        found = nullptr;
        for (Node** link = &heads[bucket(x, y)]; *link != nullptr; link = &(*link)->bucket_next) {
            if ((*link)->x == x && (*link)->y == y) {
                found = link;
                return *link;
            }
        }
        return nullptr;
    }
    void remove_found() {
        Node* node = *found;
        *found = node->bucket_next;
        node->bucket_next = nullptr;
        found = nullptr;
    }
    void insert(Node* node) {
        Node*& head = heads[bucket(node->x, node->y)];
        for (Node* held = head; held != nullptr; held = held->bucket_next) {
            if (held == node) return;
        }
        node->bucket_next = head;
        head = node;
    }

private:
    static int32_t bucket(int32_t x, int32_t y) { return (x & 15) | ((y & 15) << 4); }
    Node* heads[256] = {};
    Node** found = nullptr;
};

// Runs one query; the path from start to goal, empty when there is none or the query
// is refused (refused tells which).
inline std::vector<std::pair<int32_t, int32_t>> find_path(const Query& q, bool* refused = nullptr) {
    std::vector<std::pair<int32_t, int32_t>> path;
    if (refused != nullptr) *refused = true;
    const int32_t w = q.width;
    const int32_t h = q.height;
    if (w < 1 || h < 1) return path;
    if (q.start_x < 0 || q.start_x >= w || q.start_y < 0 || q.start_y >= h) return path;
    if (q.goal_x < 0 || q.goal_x >= w || q.goal_y < 0 || q.goal_y >= h) return path;
    if (q.start_x == q.goal_x && q.start_y == q.goal_y) return path;
    const size_t cells = static_cast<size_t>(w) * static_cast<size_t>(h);

    // Cost grid: non-positive (and non-finite) values blocked, others value / max + 1.
    std::vector<float> grid(cells);
    double maximum = -1;
    const auto passable = [](double v) { return v > 0 && v <= std::numeric_limits<double>::max(); };
    for (size_t i = 0; i < cells; ++i) {
        if (passable(q.costs[i]) && q.costs[i] > maximum) maximum = q.costs[i];
    }
    if (maximum <= 0) return path;
    for (size_t i = 0; i < cells; ++i) {
        grid[i] = passable(q.costs[i]) ? static_cast<float>(q.costs[i] / maximum + 1.0) : -1.0f;
    }
    if (refused != nullptr) *refused = false;
    float weight = q.weight;
    if (!(weight >= 0)) weight = 0;
    if (weight > 1) weight = 1;

    // Pool: every node allocated at once, handed out in order through a pointer array.
    std::vector<Node> storage(cells);
    std::vector<Node*> pool(cells);
    for (size_t i = 0; i < cells; ++i) pool[i] = &storage[i];
    size_t next_free = 0;

    Deque open(static_cast<int32_t>(cells));
    ClosedSet closed;
    const auto open_insert = [&](Node* node) {
        int32_t low = 0;
        int32_t high = open.size();
        while (low < high) {
            const int32_t middle = (low + high) / 2;
            if (open.at(middle)->score > node->score) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        open.insert(low, node);
    };

    Node* start = pool[next_free++];
    start->x = q.start_x;
    start->y = q.start_y;
    open.push_back(start);

    static constexpr int32_t DX[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
    static constexpr int32_t DY[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    Node* goal = nullptr;
    while (!open.is_empty()) {
        Node* current = open.back();
        open.pop_back();
        if (current->x == q.goal_x && current->y == q.goal_y) {
            closed.insert(current);
            goal = current;
            break;
        }
        for (int k = 0; k < 8; ++k) {
            const bool diagonal = DX[k] != 0 && DY[k] != 0;
            if (diagonal && !q.allow_diagonal) continue;
            const int32_t nx = current->x + DX[k];
            const int32_t ny = current->y + DY[k];
            if (nx < 0 || nx >= w || ny < 0 || ny >= h) continue;
            const float cell_cost = grid[static_cast<size_t>(nx + w * ny)];
            if (cell_cost <= 0) continue;
            const float s = q.scale_diagonal ? 1.4142137f : 1.0f;
            const float new_cost =
                diagonal ? current->cost + cell_cost * s : current->cost + cell_cost;
            const int32_t estimate = std::abs(q.goal_x - nx) + std::abs(q.goal_y - ny);
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
            int32_t found_at = -1;
            for (int32_t i = open.size() - 1; i >= 0; --i) {
                if (open.at(i)->x == nx && open.at(i)->y == ny) {
                    found_at = i;
                    break;
                }
            }
            if (found_at >= 0) {
                Node* node = open.at(found_at);
                if (node->cost > new_cost) {
                    open.erase(found_at);
                    node->parent = current;
                    node->cost = new_cost;
                    node->score = score;
                    open_insert(node);
                }
                continue;
            }
            if (next_free >= cells) continue;
            Node* node = pool[next_free++];
            node->x = nx;
            node->y = ny;
            node->parent = current;
            node->cost = new_cost;
            node->score = score;
            open_insert(node);
        }
        closed.insert(current);
    }
    for (Node* node = goal; node != nullptr; node = node->parent) path.emplace_back(node->x, node->y);
    std::vector<std::pair<int32_t, int32_t>> ordered(path.rbegin(), path.rend());
    return ordered;
}

}  // namespace path_reference
