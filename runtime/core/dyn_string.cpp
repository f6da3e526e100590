// DynString: buffer management, assignment, appending, concatenation, number text
// and the two comparison families.
#include "runtime/core/dyn_string.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace runtime {

const char EMPTY_TEXT[1] = {0};

namespace {

constexpr uint32_t NUMBER_RESERVE = 64;
// length is a signed 32-bit count: no text may grow beyond this, as if the heap had no room.
constexpr uint32_t MAX_TEXT = 0x7fffffffu - STRING_GROW_STEP;
const char STATIC_EMPTY[1] = {0};

char* empty_buffer() { return const_cast<char*>(EMPTY_TEXT); }

bool owns_heap_buffer(const DynString& s) { return s.buffer != nullptr && s.buffer != EMPTY_TEXT; }

// Writes the decimal digits of an int; returns the characters written (at most 11).
int int_to_text_into(int value, char* out) {
    auto result = std::to_chars(out, out + 16, value);
    *result.ptr = 0;
    return static_cast<int>(result.ptr - out);
}

// Appending grows the buffer by half its size at least (still in 512-byte steps), so a
// loop of short appends costs linear time instead of one full copy per 512 bytes.
uint32_t growth_request(const DynString& s, uint32_t needed) {
    uint32_t geometric = s.capacity + s.capacity / 2;
    if (geometric > 0) geometric -= 1;
    if (geometric > MAX_TEXT) geometric = MAX_TEXT;
    return needed > geometric ? needed : geometric;
}

}  // namespace

DynString::DynString() : buffer(empty_buffer()), capacity(0), length(0) {}

DynString::DynString(const char* text) : DynString() {
    if (text == nullptr) return;
    auto n = static_cast<uint32_t>(std::strlen(text));
    reserve(n);
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    length = static_cast<int32_t>(n);
}

DynString::DynString(const DynString& other) : DynString() {
    auto n = static_cast<uint32_t>(other.length);
    reserve(n);
    std::memcpy(buffer, other.buffer, n);
    buffer[n] = 0;
    length = other.length;
}

DynString::DynString(DynString&& other) noexcept
    : buffer(other.buffer), capacity(other.capacity), length(other.length) {
    other.buffer = empty_buffer();
    other.capacity = 0;
    other.length = 0;
}

DynString::DynString(int value) : DynString() { assign(value); }
DynString::DynString(float value) : DynString() { assign(static_cast<double>(value)); }
DynString::DynString(double value) : DynString() { assign(value); }

DynString::~DynString() {
    if (owns_heap_buffer(*this)) delete[] buffer;
    buffer = nullptr;
    capacity = 0;
    length = 0;
}

void DynString::reserve(uint32_t n) {
    if (capacity > n) return;
    if (n > MAX_TEXT) throw std::bad_alloc();
    uint32_t new_capacity = (n & ~(STRING_GROW_STEP - 1)) + STRING_GROW_STEP;
    char* fresh = new char[new_capacity];
    if (!owns_heap_buffer(*this)) {
        fresh[0] = 0;
    } else {
        // The old text up to its first zero byte (a caller may have written past length).
        size_t used = strnlen(buffer, capacity);
        if (used >= new_capacity) used = new_capacity - 1;
        std::memcpy(fresh, buffer, used);
        fresh[used] = 0;
        delete[] buffer;
    }
    buffer = fresh;
    capacity = new_capacity;
}

DynString& DynString::assign(const char* text) {
    if (text == nullptr) text = STATIC_EMPTY;
    auto n = static_cast<uint32_t>(std::strlen(text));
    if (n < capacity) {
        std::memmove(buffer, text, n);  // text may lie inside our own buffer
        buffer[n] = 0;
        length = static_cast<int32_t>(n);
        return *this;
    }
    DynString copy(text);
    return *this = std::move(copy);
}

DynString& DynString::assign(const DynString& other) {
    if (&other == this) {
        reserve(static_cast<uint32_t>(length));
        return *this;
    }
    auto n = static_cast<uint32_t>(other.length);
    reserve(n);
    std::memcpy(buffer, other.buffer, n);
    buffer[n] = 0;
    length = other.length;
    return *this;
}

DynString& DynString::assign(int value) {
    reserve(NUMBER_RESERVE);
    length = int_to_text_into(value, buffer);
    return *this;
}

DynString& DynString::assign(float value) { return assign(static_cast<double>(value)); }

DynString& DynString::assign(double value) {
    reserve(NUMBER_RESERVE);
    length = number_to_text_into(value, buffer);
    return *this;
}

void DynString::assign_exact(const char* text) {
    auto n = static_cast<uint32_t>(std::strlen(text));
    char* fresh = new char[n + 1];
    std::memcpy(fresh, text, n + 1);
    if (owns_heap_buffer(*this)) delete[] buffer;
    buffer = fresh;
    capacity = n + 1;
    length = static_cast<int32_t>(n);
}

void DynString::assign_exact(const DynString& other) {
    if (&other == this) return;
    char* fresh = nullptr;
    auto n = static_cast<uint32_t>(other.length);
    if (n != 0) {
        fresh = new char[n + 1];
        std::memcpy(fresh, other.buffer, n);
        fresh[n] = 0;
    }
    if (owns_heap_buffer(*this)) delete[] buffer;
    buffer = fresh != nullptr ? fresh : empty_buffer();
    capacity = fresh != nullptr ? n + 1 : 0;
    length = other.length;
}

DynString& DynString::operator=(DynString&& other) noexcept {
    if (&other == this) return *this;
    if (owns_heap_buffer(*this)) delete[] buffer;
    buffer = other.buffer;
    capacity = other.capacity;
    length = other.length;
    other.buffer = empty_buffer();
    other.capacity = 0;
    other.length = 0;
    return *this;
}

DynString& DynString::append_bytes(const char* bytes, uint32_t n) {
    if (n == 0) {
        // An empty append still gives the value its own buffer, as every append does.
        reserve(static_cast<uint32_t>(length));
        return *this;
    }
    auto old_length = static_cast<uint32_t>(length);
    if (n > MAX_TEXT - old_length) throw std::bad_alloc();
    uint32_t new_length = old_length + n;
    if (new_length >= capacity) {
        // The source may lie inside our own buffer, which reserve is about to free.
        auto at = reinterpret_cast<uintptr_t>(bytes);
        auto start = reinterpret_cast<uintptr_t>(buffer);
        if (owns_heap_buffer(*this) && at >= start && at < start + capacity) {
            DynString copy;
            copy.append_bytes(bytes, n);
            return append_bytes(copy.buffer, n);
        }
        reserve(growth_request(*this, new_length));
    }
    std::memmove(buffer + old_length, bytes, n);
    buffer[new_length] = 0;
    length = static_cast<int32_t>(new_length);
    return *this;
}

DynString& DynString::append(const char* text) {
    if (text == nullptr) return *this;
    return append_bytes(text, static_cast<uint32_t>(std::strlen(text)));
}

DynString& DynString::append(const DynString& other) {
    return append_bytes(other.buffer, static_cast<uint32_t>(other.length));
}

DynString& DynString::append(int value) {
    char digits[16];
    int n = int_to_text_into(value, digits);
    return append_bytes(digits, static_cast<uint32_t>(n));
}

DynString& DynString::append(float value) { return append(static_cast<double>(value)); }

DynString& DynString::append(double value) {
    char digits[40];
    int n = number_to_text_into(value, digits);
    return append_bytes(digits, static_cast<uint32_t>(n));
}

const char* DynString::text_of() const { return length != 0 ? buffer : STATIC_EMPTY; }

char* DynString::writable_buffer(uint32_t n) {
    reserve(n);
    return buffer;
}

void DynString::recount_length() {
    if (capacity == 0) {
        length = 0;
        return;
    }
    length = static_cast<int32_t>(strnlen(buffer, capacity));
}

void DynString::truncate_at(int32_t p) {
    if (capacity == 0) return;  // EMPTY_TEXT is never written
    buffer[p] = 0;
    recount_length();
}

int DynString::char_code_at(int32_t p) const {
    if (length == 0) return 0;
    return static_cast<signed char>(buffer[p]);
}

void DynString::set_char_at(int32_t p, int code) {
    if (capacity == 0) return;  // EMPTY_TEXT is never written
    buffer[p] = static_cast<char>(code & 0xff);
}

void DynString::trim_trailing_controls() {
    while (length > 0 && static_cast<signed char>(buffer[length - 1]) <= 31) {
        buffer[length - 1] = 0;
        --length;
    }
}

// Ten significant digits: exponent form for |x| < 0.1 or |x| >= 1e10, fixed form
// otherwise, trailing zeros removed. Infinities and NaN read "inf", "-inf" and "nan",
// the C library's words, so text_to_number never mistakes them for a number.
int number_to_text_into(double x, char* out) {
    if (std::isnan(x)) {
        std::memcpy(out, "nan", 4);
        return 3;
    }
    if (std::isinf(x)) {
        const char* word = x < 0 ? "-inf" : "inf";
        std::memcpy(out, word, std::strlen(word) + 1);
        return static_cast<int>(std::strlen(word));
    }
    if (x == 0) {
        out[0] = '0';
        out[1] = 0;
        return 1;
    }
    char* p = out;
    if (x < 0) *p++ = '-';
    double ax = std::fabs(x);

    // The exponent of the leading digit before rounding: the scientific text reports it
    // after rounding, which differs only when the mantissa rounded up to 1.000000000.
    char sci[40];
    auto sci_end =
        std::to_chars(sci, sci + sizeof sci - 1, ax, std::chars_format::scientific, 9).ptr;
    *sci_end = 0;
    int rounded_exponent = std::atoi(sci + 12);  // sci is "d.ddddddddde+XX"
    int exponent = rounded_exponent;
    if (std::strncmp(sci, "1.000000000", 11) == 0) {
        char power[16];
        std::snprintf(power, sizeof power, "1e%d", exponent);
        if (ax < std::strtod(power, nullptr)) exponent -= 1;
    }

    if (exponent < -1 || exponent > 9) {
        // Mantissa digits with trailing zeros trimmed (the "." stays), exponent in three digits.
        int last = 10;
        while (last > 1 && sci[last] == '0') --last;
        std::memcpy(p, sci, static_cast<size_t>(last + 1));
        p += last + 1;
        int e = rounded_exponent;
        *p++ = 'e';
        *p++ = e < 0 ? '-' : '+';
        if (e < 0) e = -e;
        *p++ = static_cast<char>('0' + (e / 100) % 10);
        *p++ = static_cast<char>('0' + (e / 10) % 10);
        *p++ = static_cast<char>('0' + e % 10);
        *p = 0;
        return static_cast<int>(p - out);
    }

    int decimals = 9 - exponent;
    char* end = std::to_chars(p, p + 30, ax, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    *end = 0;
    if (std::strcmp(out, ".0") == 0) {
        out[0] = '0';
        out[1] = 0;
        return 1;
    }
    return static_cast<int>(end - out);
}

DynString number_to_text(double x) {
    DynString s;
    s.assign(x);
    return s;
}

double text_to_number(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Only decimal numbers: no hexadecimal, no "inf" or "nan" words.
    bool digit_first = *p >= '0' && *p <= '9';
    bool point_first = *p == '.' && p[1] >= '0' && p[1] <= '9';
    if (!digit_first && !point_first) return 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return negative ? -0.0 : 0.0;
    double value = 0;
    auto result = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) value = std::strtod(p, nullptr);
    return negative ? -value : value;
}

double text_to_number(const DynString& s) { return text_to_number(s.text_of()); }

int compare_three_way(const DynString& s, double x) {
    double v = text_to_number(s);
    if (v < x) return -1;
    if (v > x) return 1;
    return 0;
}

int compare_raw(const DynString& s, const char* text) { return std::strcmp(s.text_of(), text); }

// concat: a copy of the left operand with the right one appended.
DynString operator+(const DynString& a, const DynString& b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(const DynString& a, const char* b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(const char* a, const DynString& b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(const DynString& a, int b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(const DynString& a, float b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(const DynString& a, double b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(int a, const DynString& b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(float a, const DynString& b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString operator+(double a, const DynString& b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(const char* a, const char* b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(const char* a, int b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(const char* a, float b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(const char* a, double b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(int a, const char* b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(float a, const char* b) {
    DynString r(a);
    r.append(b);
    return r;
}
DynString concat(double a, const char* b) {
    DynString r(a);
    r.append(b);
    return r;
}

namespace {
double truth(bool b) { return b ? 1.0 : 0.0; }
int raw(const char* a, const char* b) {
    return std::strcmp(a ? a : STATIC_EMPTY, b ? b : STATIC_EMPTY);
}
}  // namespace

double operator==(const DynString& a, const DynString& b) {
    if (a.length != b.length) return 0.0;
    return truth(raw(a.text_of(), b.text_of()) == 0);
}
double operator!=(const DynString& a, const DynString& b) { return truth((a == b) == 0.0); }
double operator<(const DynString& a, const DynString& b) {
    return truth(raw(a.text_of(), b.text_of()) < 0);
}
double operator>(const DynString& a, const DynString& b) {
    return truth(raw(a.text_of(), b.text_of()) > 0);
}
double operator<=(const DynString& a, const DynString& b) {
    return truth(raw(a.text_of(), b.text_of()) <= 0);
}
double operator>=(const DynString& a, const DynString& b) {
    return truth(raw(a.text_of(), b.text_of()) >= 0);
}
double operator==(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) == 0); }
double operator!=(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) != 0); }
double operator<(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) < 0); }
double operator>(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) > 0); }
double operator<=(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) <= 0); }
double operator>=(const DynString& a, const char* b) { return truth(raw(a.text_of(), b) >= 0); }
double operator==(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) == 0); }
double operator!=(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) != 0); }
double operator<(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) < 0); }
double operator>(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) > 0); }
double operator<=(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) <= 0); }
double operator>=(const char* a, const DynString& b) { return truth(raw(a, b.text_of()) >= 0); }

// Numeric comparisons: plain double relations, so NaN makes every one but != false.
double operator==(const DynString& a, double b) { return truth(text_to_number(a) == b); }
double operator!=(const DynString& a, double b) { return truth(text_to_number(a) != b); }
double operator<(const DynString& a, double b) { return truth(text_to_number(a) < b); }
double operator>(const DynString& a, double b) { return truth(text_to_number(a) > b); }
double operator<=(const DynString& a, double b) { return truth(text_to_number(a) <= b); }
double operator>=(const DynString& a, double b) { return truth(text_to_number(a) >= b); }
double operator==(double a, const DynString& b) { return truth(a == text_to_number(b)); }
double operator!=(double a, const DynString& b) { return truth(a != text_to_number(b)); }
double operator<(double a, const DynString& b) { return truth(a < text_to_number(b)); }
double operator>(double a, const DynString& b) { return truth(a > text_to_number(b)); }
double operator<=(double a, const DynString& b) { return truth(a <= text_to_number(b)); }
double operator>=(double a, const DynString& b) { return truth(a >= text_to_number(b)); }

}  // namespace runtime
