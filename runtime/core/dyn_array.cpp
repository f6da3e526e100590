// DynArray storage, dimensioning, the bounds check, redimension, push and copy_array
// for the three element kinds (strings, numbers, bytes).
#include "runtime/core/dyn_array.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "runtime/core/lifecycle.h"

namespace runtime {

namespace {

// The largest element count we try to obtain; beyond it there is "no storage" (code 7).
constexpr double MAX_ELEMENTS = 2147483647.0 - 4096.0;

template <class T>
constexpr int32_t step_of() {
    if constexpr (std::is_same_v<T, DynString>)
        return STRING_ARRAY_STEP;
    else if constexpr (std::is_same_v<T, double>)
        return NUMBER_ARRAY_STEP;
    else
        return BYTE_ARRAY_STEP;
}

template <class T>
int32_t capacity_for(int64_t count) {
    constexpr int32_t step = step_of<T>();
    return static_cast<int32_t>((count / step) * step + step);
}

// A number as the error-stop messages show it: whole numbers without a fraction.
std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// "(12, 0)": the indices up to the array's dimensions and any nonzero one beyond them.
std::string shown_indices(int dimensions, const double (&indices)[4]) {
    int count = std::max(dimensions, 1);
    for (int d = count; d < 4; ++d)
        if (indices[d] != 0) count = d + 1;
    std::string text = "(";
    for (int d = 0; d < count; ++d) text += (d ? ", " : "") + shown(indices[d]);
    return text + ")";
}

template <class T>
std::string shown_shape(const DynArray<T>& a) {
    if (a.elements == nullptr || a.dimension_count == 0) return "an array without elements";
    const int32_t sizes[4] = {a.size0, a.size1, a.size2, a.size3};
    std::string text = "a ";
    for (int d = 0; d < a.dimension_count; ++d) text += (d ? " x " : "") + std::to_string(sizes[d]);
    return text + " array";
}

// A size argument: truncated, and 0 when below 1 (that dimension does not exist).
int32_t size_from(double d) {
    if (!(d >= 1)) return 0;
    if (d >= 2147483647.0) return 2147483647;
    return static_cast<int32_t>(d);
}

// Storage of `capacity` constructed elements; null when the heap has none.
template <class T>
T* obtain_storage(DynArray<T>& a, int32_t capacity) {
    auto count = static_cast<size_t>(capacity);
    if constexpr (std::is_same_v<T, DynString>) {
        void* block = ::operator new(count * sizeof(DynString), std::nothrow);
        if (block == nullptr) return nullptr;
        auto* strings = static_cast<DynString*>(block);
        for (size_t i = 0; i < count; ++i) new (strings + i) DynString();
        return strings;
    } else if constexpr (std::is_same_v<T, double>) {
        if (capacity <= INLINE_NUMBER_COUNT) return a.inline_elements.values;
        return new (std::nothrow) double[count];
    } else {
        (void)a;
        return new (std::nothrow) uint8_t[count];
    }
}

template <class T>
void release_storage(T* storage, int32_t capacity, const DynArray<T>& owner) {
    if (storage == nullptr) return;
    if constexpr (std::is_same_v<T, DynString>) {
        (void)owner;
        for (int32_t i = 0; i < capacity; ++i) storage[i].~DynString();
        ::operator delete(static_cast<void*>(storage));
    } else if constexpr (std::is_same_v<T, double>) {
        (void)capacity;
        if (storage != owner.inline_elements.values) delete[] storage;
    } else {
        (void)capacity;
        (void)owner;
        delete[] storage;
    }
}

template <class T>
void clear_fields(DynArray<T>& a) {
    a.elements = nullptr;
    a.stride1 = a.stride2 = a.stride3 = 0;
    a.size0 = a.size1 = a.size2 = a.size3 = 0;
    a.dimension_count = 0;
    a.capacity = 0;
}

template <class T>
void copy_shape(DynArray<T>& to, const DynArray<T>& from) {
    to.stride1 = from.stride1;
    to.stride2 = from.stride2;
    to.stride3 = from.stride3;
    to.size0 = from.size0;
    to.size1 = from.size1;
    to.size2 = from.size2;
    to.size3 = from.size3;
    to.dimension_count = from.dimension_count;
    to.capacity = from.capacity;
}

template <class T>
void copy_from(DynArray<T>& to, const DynArray<T>& from) {
    if (from.elements == nullptr) {
        clear_fields(to);
        return;
    }
    T* storage = obtain_storage(to, from.capacity);
    if (storage == nullptr)
        error_stop(STOP_RANGE,
                   "no storage to copy an array of " + std::to_string(from.capacity) + " elements");
    for (int32_t i = 0; i < from.capacity; ++i) {
        // Copied strings take their own size, not a 512-byte step each.
        if constexpr (std::is_same_v<T, DynString>)
            storage[i].assign_exact(from.elements[i]);
        else
            storage[i] = from.elements[i];
    }
    to.elements = storage;
    copy_shape(to, from);
}

template <class T>
void move_from(DynArray<T>& to, DynArray<T>& from) {
    if constexpr (std::is_same_v<T, double>) {
        if (from.uses_inline_storage()) {
            std::memcpy(to.inline_elements.values, from.inline_elements.values,
                        sizeof to.inline_elements.values);
            to.elements = to.inline_elements.values;
            copy_shape(to, from);
            clear_fields(from);
            return;
        }
    }
    to.elements = from.elements;
    copy_shape(to, from);
    clear_fields(from);
}

bool index_ok(double index, int32_t size, bool dimension_exists) {
    // Truncated first: -0.5 is index 0.
    index = std::trunc(index);
    if (!(index >= 0)) return false;  // negative or NaN
    // A dimension the array does not have takes only index 0; anything else would
    // reach past the storage.
    if (!dimension_exists) return index < 1;
    return index < static_cast<double>(size);
}

// One-dimensional growth for push: geometric, elements moved, not copied.
void grow_for_push(DynArray<DynString>& a, int32_t needed) {
    int64_t doubled = static_cast<int64_t>(a.capacity) * 2;
    int64_t target = doubled > needed ? doubled : needed;
    if (target > static_cast<int64_t>(MAX_ELEMENTS)) target = needed;
    int32_t new_capacity = capacity_for<DynString>(target - 1);
    DynString* storage = obtain_storage(a, new_capacity);
    if (storage == nullptr)
        error_stop(STOP_RANGE, "push: no storage for " + std::to_string(needed) + " elements");
    for (int32_t i = 0; i < a.size0; ++i) storage[i] = std::move(a.elements[i]);
    release_storage(a.elements, a.capacity, a);
    a.elements = storage;
    a.capacity = new_capacity;
}

template <class V>
void push_value(DynArray<DynString>& a, V&& value) {
    if (a.size1 != 0)
        error_stop(STOP_PUSH_MULTI, "push onto " + shown_shape(a) + ": push needs one dimension");
    if (a.elements == nullptr || a.size2 != 0 || a.size3 != 0) {
        // The general path: a new shape of one dimension, then the checked store.
        redimension(a, static_cast<double>(a.size0) + 1);
        element(a, static_cast<double>(a.size0) - 1) = std::forward<V>(value);
        return;
    }
    if (a.size0 >= static_cast<int32_t>(MAX_ELEMENTS))
        error_stop(STOP_RANGE, "push: " + shown_shape(a) + " cannot grow");
    int32_t needed = a.size0 + 1;
    if (needed > a.capacity) grow_for_push(a, needed);
    a.size0 = needed;
    a.dimension_count = 1;
    a.stride1 = needed;
    a.stride2 = 0;
    a.stride3 = 0;
    a.elements[needed - 1] = std::forward<V>(value);
}

}  // namespace

template <class T>
DynArray<T>::DynArray(const DynArray& other) {
    copy_from(*this, other);
}

template <class T>
DynArray<T>::DynArray(DynArray&& other) noexcept {
    move_from(*this, other);
}

template <class T>
DynArray<T>& DynArray<T>::operator=(const DynArray& other) {
    if (&other == this) return *this;
    DynArray copy(other);
    return *this = std::move(copy);
}

template <class T>
DynArray<T>& DynArray<T>::operator=(DynArray&& other) noexcept {
    if (&other == this) return *this;
    release_storage(elements, capacity, *this);
    clear_fields(*this);
    move_from(*this, other);
    return *this;
}

template <class T>
DynArray<T>::~DynArray() {
    release_storage(elements, capacity, *this);
    clear_fields(*this);
}

template <class T>
bool DynArray<T>::uses_inline_storage() const {
    if constexpr (std::is_same_v<T, double>) {
        return elements != nullptr && elements == inline_elements.values;
    } else {
        return false;
    }
}

template <class T>
int32_t DynArray<T>::element_count() const {
    if (size0 == 0) return 0;
    int64_t count = size0;
    if (size1 != 0) count *= size1;
    if (size2 != 0) count *= size2;
    if (size3 != 0) count *= size3;
    return static_cast<int32_t>(count);
}

template <class T>
void dimension(DynArray<T>& a, double d0, double d1, double d2, double d3) {
    int32_t s0 = size_from(d0), s1 = size_from(d1), s2 = size_from(d2), s3 = size_from(d3);
    double count = static_cast<double>(s0) * (s1 ? s1 : 1) * (s2 ? s2 : 1) * (s3 ? s3 : 1);
    if (count > MAX_ELEMENTS)
        error_stop(STOP_RANGE, "dimension (" + shown(d0) + ", " + shown(d1) + ", " + shown(d2) + ", " +
                                   shown(d3) + "): " + shown(count) + " elements, more than an array holds");
    auto m = static_cast<int64_t>(count);
    int32_t needed = capacity_for<T>(m);

    if (a.capacity < needed || s0 == 0) {
        // Fresh storage: the old is released first so the inline numbers can be reused.
        release_storage(a.elements, a.capacity, a);
        a.elements = nullptr;
        a.capacity = 0;
        T* storage = obtain_storage(a, needed);
        if (storage == nullptr) {
            clear_fields(a);
            error_stop(STOP_RANGE, "dimension: no storage for " + shown(count) + " elements");
        }
        a.elements = storage;
        a.capacity = needed;
        if constexpr (std::is_same_v<T, double>) {
            std::fill(storage, storage + needed, 0.0);
        } else if constexpr (std::is_same_v<T, uint8_t>) {
            std::memset(storage, 0, static_cast<size_t>(needed));
        }
    } else {
        if constexpr (std::is_same_v<T, DynString>) {
            // Emptied in place: the buffers stay, as an assignment of "" would keep them.
            for (int32_t i = 0; i < needed; ++i) a.elements[i].truncate_at(0);
        } else if constexpr (std::is_same_v<T, double>) {
            std::fill(a.elements, a.elements + a.capacity, 0.0);
        } else {
            std::memset(a.elements, 0, static_cast<size_t>(needed));
        }
    }

    a.dimension_count = s3 ? 4 : s2 ? 3 : s1 ? 2 : s0 ? 1 : 0;
    a.size0 = s0;
    a.size1 = s1;
    a.size2 = s2;
    a.size3 = s3;
    int64_t stride2 = static_cast<int64_t>(s0) * s1;
    a.stride1 = s0;
    a.stride2 = static_cast<int32_t>(stride2);
    a.stride3 = static_cast<int32_t>(stride2 * s2);
}

template <class T>
T& element(DynArray<T>& a, double i0, double i1, double i2, double i3) {
    if (a.elements == nullptr || !index_ok(i0, a.size0, true) ||
        !index_ok(i1, a.size1, a.size1 != 0) || !index_ok(i2, a.size2, a.size2 != 0) ||
        !index_ok(i3, a.size3, a.size3 != 0)) {
        const double indices[4] = {i0, i1, i2, i3};
        error_stop(STOP_INDEX, "array index out of range: element " +
                                   shown_indices(a.dimension_count, indices) + " of " + shown_shape(a));
    }
    int64_t place = static_cast<int64_t>(i0) + static_cast<int64_t>(i1) * a.stride1 +
                    static_cast<int64_t>(i2) * a.stride2 + static_cast<int64_t>(i3) * a.stride3;
    return a.elements[place];
}

template <class T>
void redimension(DynArray<T>& a, double d0, double d1, double d2, double d3) {
    DynArray<T> fresh;
    dimension(fresh, d0, d1, d2, d3);
    if (a.dimension_count > 0) {
        int32_t n0 = std::min(a.size0, fresh.size0);
        int32_t n1 = std::max(1, std::min(a.size1, fresh.size1));
        int32_t n2 = std::max(1, std::min(a.size2, fresh.size2));
        int32_t n3 = std::max(1, std::min(a.size3, fresh.size3));
        for (int32_t i3 = 0; i3 < n3; ++i3)
            for (int32_t i2 = 0; i2 < n2; ++i2)
                for (int32_t i1 = 0; i1 < n1; ++i1)
                    for (int32_t i0 = 0; i0 < n0; ++i0) {
                        T& from = element(a, i0, i1, i2, i3);
                        // The old storage is destroyed right after, so strings move.
                        element(fresh, i0, i1, i2, i3) = std::move(from);
                    }
    }
    a = std::move(fresh);
}

// A pushed value gets a buffer of its exact size, as the exact assignment makes, rather
// than a 512-byte step: a million stored lines then take their own size, not 512 MB.
// Appending to such an element later grows it in the normal steps.
void push(DynArray<DynString>& a, const DynString& value) {
    DynString copy;
    copy.assign_exact(value);  // taken first: value may live in the storage that moves
    push_value(a, std::move(copy));
}

void push(DynArray<DynString>& a, DynString&& value) {
    // Taken first: the value may live in the storage that moves. A temporary's buffer
    // is only kept when it is already of the exact size.
    DynString taken;
    if (value.capacity == static_cast<uint32_t>(value.length) + 1)
        taken = std::move(value);
    else
        taken.assign_exact(value);
    push_value(a, std::move(taken));
}

void copy_array(DynArray<double>& target, const DynArray<double>& source) {
    if (&target == &source) return;
    dimension(target, source.size0, source.size1, source.size2, source.size3);
    int64_t count = static_cast<int64_t>(source.size0) * std::max(1, source.size1) *
                    std::max(1, source.size2) * std::max(1, source.size3);
    if (count > 0 && source.elements != nullptr)
        std::memcpy(target.elements, source.elements, static_cast<size_t>(count) * sizeof(double));
}

template class DynArray<DynString>;
template class DynArray<double>;
template class DynArray<uint8_t>;

template void dimension<DynString>(DynArray<DynString>&, double, double, double, double);
template void dimension<double>(DynArray<double>&, double, double, double, double);
template void dimension<uint8_t>(DynArray<uint8_t>&, double, double, double, double);
template void redimension<DynString>(DynArray<DynString>&, double, double, double, double);
template void redimension<double>(DynArray<double>&, double, double, double, double);
template void redimension<uint8_t>(DynArray<uint8_t>&, double, double, double, double);
template DynString& element<DynString>(DynArray<DynString>&, double, double, double, double);
template double& element<double>(DynArray<double>&, double, double, double, double);
template uint8_t& element<uint8_t>(DynArray<uint8_t>&, double, double, double, double);

}  // namespace runtime
