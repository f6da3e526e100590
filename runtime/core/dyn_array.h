// DynArray: arrays of strings, numbers or bytes with up to four dimensions, first
// index fastest, every access bounds-checked (an error stop on failure).
#pragma once

#include <cstdint>

#include "runtime/core/dyn_string.h"

namespace runtime {

// T is DynString, double or uint8_t.
template <class T>
class DynArray {
public:
    T* elements = nullptr;
    int32_t stride1 = 0, stride2 = 0, stride3 = 0;
    int32_t size0 = 0, size1 = 0, size2 = 0, size3 = 0;
    int32_t dimension_count = 0;
    int32_t capacity = 0;
    // Implementation fields (inline storage for small number arrays etc.) follow.
};

// Declared here, defined in dyn_array.cpp for the three element kinds.
template <class T> void dimension(DynArray<T>& a, double d0, double d1 = 0, double d2 = 0, double d3 = 0);
template <class T> void redimension(DynArray<T>& a, double d0, double d1 = 0, double d2 = 0, double d3 = 0);
template <class T> T& element(DynArray<T>& a, double i0, double i1 = 0, double i2 = 0, double i3 = 0);
void push(DynArray<DynString>& a, const DynString& value);
void push(DynArray<DynString>& a, DynString&& value);
void copy_array(DynArray<double>& target, const DynArray<double>& source);

}  // namespace runtime
