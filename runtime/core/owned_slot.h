// The one place a module keeps its engine object: created into the slot with the module's
// teardown registered in the shut-down list, ended by that teardown, so the pointer the
// module hands out is never left dangling.
#pragma once

#include <memory>

#include "runtime/core/lifecycle.h"

namespace runtime {

template <class T>
class OwnedSlot {
public:
    T* get() const { return object_.get(); }
    explicit operator bool() const { return object_ != nullptr; }
    T& operator*() const { return *object_; }
    T* operator->() const { return object_.get(); }

    // A fresh object in the slot (the caller ends an old one first); `teardown` becomes
    // the module's shut-down step.
    T& create(ShutdownStep step, void (*teardown)()) {
        object_ = std::make_unique<T>();
        register_shutdown_step(step, teardown);
        return *object_;
    }
    // Runs `stop` on the object while the slot still holds it, then deletes it; nothing
    // when the slot is empty.
    template <class Stop>
    void destroy(Stop stop) {
        if (!object_) return;
        stop(*object_);
        object_.reset();
    }
    // Deletes the object, for a module whose teardown has already stopped it.
    void reset() { object_.reset(); }

private:
    std::unique_ptr<T> object_;
};

}  // namespace runtime
