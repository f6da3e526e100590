// DynArray: arrays of strings, numbers or bytes with up to four dimensions, first
// index fastest, every access bounds-checked (an error stop on failure).
#pragma once

#include <cstdint>
#include <type_traits>

#include "runtime/core/dyn_string.h"

namespace runtime {

// Capacity steps of the three element kinds.
constexpr int32_t STRING_ARRAY_STEP = 64;
constexpr int32_t NUMBER_ARRAY_STEP = 8;
constexpr int32_t BYTE_ARRAY_STEP = 64;
// Number arrays of up to this many elements live inside the array value.
constexpr int32_t INLINE_NUMBER_COUNT = 16;

namespace detail {
struct NoInlineStorage {};
struct InlineNumbers {
    double values[INLINE_NUMBER_COUNT];
};
template <class T>
using InlineStorageFor =
    std::conditional_t<std::is_same_v<T, double>, InlineNumbers, NoInlineStorage>;
}  // namespace detail

// T is DynString, double or uint8_t.
template <class T>
class DynArray {
public:
    T* elements = nullptr;
    int32_t stride1 = 0, stride2 = 0, stride3 = 0;
    int32_t size0 = 0, size1 = 0, size2 = 0, size3 = 0;
    int32_t dimension_count = 0;
    int32_t capacity = 0;
    // Number arrays only: the storage while the capacity is at most 16.
    [[no_unique_address]] detail::InlineStorageFor<T> inline_elements{};

    DynArray() = default;
    // Deep copies (strings with buffers of exactly their size); a copy that cannot get
    // storage is an error stop with code 7.
    DynArray(const DynArray& other);
    DynArray(DynArray&& other) noexcept;
    DynArray& operator=(const DynArray& other);
    DynArray& operator=(DynArray&& other) noexcept;
    ~DynArray();

    // True while a number array keeps its elements in inline_elements.
    bool uses_inline_storage() const;
    // Number of elements reachable through element(): the product of the sizes.
    int32_t element_count() const;
};

// Gives the array the sizes d0..d3 (a size below 1: no such dimension); every element
// becomes empty or 0. No storage: error stop 7.
template <class T>
void dimension(DynArray<T>& a, double d0, double d1 = 0, double d2 = 0, double d3 = 0);
// New sizes, keeping every element whose indices fit both shapes.
template <class T>
void redimension(DynArray<T>& a, double d0, double d1 = 0, double d2 = 0, double d3 = 0);
// Checked access: a negative or too large index, or no storage, is error stop 9.
template <class T>
T& element(DynArray<T>& a, double i0, double i1 = 0, double i2 = 0, double i3 = 0);
// Appends one element to a one-dimensional string array (amortised constant time);
// the stored string gets a buffer of exactly its size. An array with a second
// dimension is error stop 8.
void push(DynArray<DynString>& a, const DynString& value);
void push(DynArray<DynString>& a, DynString&& value);
// Dimensions target like source and copies the source's elements.
void copy_array(DynArray<double>& target, const DynArray<double>& source);

extern template class DynArray<DynString>;
extern template class DynArray<double>;
extern template class DynArray<uint8_t>;

}  // namespace runtime
