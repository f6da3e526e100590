// Listeners of one event that modules join and leave in any order: each add gives an id
// that removes exactly that listener, so a module restarted many times is told once.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace runtime {

namespace listener_detail {
// Ids are unique over all lists of the process, so an id kept across a list's reset can
// never remove a listener added after it.
inline int next_id() {
    static int last = 0;
    return ++last;
}
}  // namespace listener_detail

template <class... Args>
class ListenerList {
public:
    using Listener = std::function<void(Args...)>;

    // Adds a listener, told after those added before it; its id (never 0).
    int add(Listener listener) {
        const int id = listener_detail::next_id();
        entries_.push_back({id, std::move(listener)});
        return id;
    }
    // Removes the listener with that id; nothing for 0 or an id already removed.
    void remove(int id) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->id == id) {
                entries_.erase(it);
                return;
            }
        }
    }
    // Tells every listener, in the order added. A listener may add or remove listeners:
    // those present when the call began are told, unless removed before their turn.
    void call(Args... args) const {
        const std::vector<Entry> present = entries_;
        for (const Entry& e : present) {
            if (contains(e.id) && e.listener) e.listener(args...);
        }
    }
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    bool contains(int id) const {
        for (const Entry& e : entries_) {
            if (e.id == id) return true;
        }
        return false;
    }

private:
    struct Entry {
        int id;
        Listener listener;
    };
    std::vector<Entry> entries_;
};

}  // namespace runtime
