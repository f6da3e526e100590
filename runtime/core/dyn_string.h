// DynString: the runtime's one string value, a growable zero-terminated byte buffer
// with deep copies, 512-byte capacity steps and the shared empty text.
#pragma once

#include <cstdint>

namespace runtime {

constexpr uint32_t STRING_GROW_STEP = 512;

// The shared, read-only empty text every fresh DynString points at.
extern const char EMPTY_TEXT[1];

class DynString {
public:
    char* buffer;
    uint32_t capacity;
    int32_t length;

    DynString();
    DynString(const char* text);
    DynString(const DynString& other);
    DynString(DynString&& other) noexcept;
    explicit DynString(int value);
    explicit DynString(float value);
    explicit DynString(double value);
    ~DynString();

    // Ensures room for n characters plus the terminator (next multiple of 512 above n).
    void reserve(uint32_t n);

    DynString& assign(const char* text);
    DynString& assign(const DynString& other);
    DynString& assign(int value);
    DynString& assign(float value);
    DynString& assign(double value);
    // Frees the old buffer and allocates exactly length + 1 bytes.
    void assign_exact(const char* text);
    // The same for the length bytes of another value (an empty value frees to EMPTY_TEXT).
    void assign_exact(const DynString& other);

    DynString& operator=(const DynString& other) { return assign(other); }
    DynString& operator=(DynString&& other) noexcept;
    DynString& operator=(const char* text) { return assign(text); }
    DynString& operator=(int value) { return assign(value); }
    DynString& operator=(float value) { return assign(value); }
    DynString& operator=(double value) { return assign(value); }

    DynString& append(const char* text);
    DynString& append(const DynString& other);
    DynString& append(int value);
    DynString& append(float value);
    DynString& append(double value);
    // Appends n raw bytes (may contain no zero); a fast path for builders.
    DynString& append_bytes(const char* bytes, uint32_t n);

    DynString& operator+=(const char* text) { return append(text); }
    DynString& operator+=(const DynString& other) { return append(other); }
    DynString& operator+=(int value) { return append(value); }
    DynString& operator+=(float value) { return append(value); }
    DynString& operator+=(double value) { return append(value); }

    // The text; a static empty text when length is 0.
    const char* text_of() const;
    int32_t size() const { return length; }
    // reserve(n) and hand the buffer out; the caller then calls recount_length.
    char* writable_buffer(uint32_t n);
    void recount_length();
    void truncate_at(int32_t p);
    int char_code_at(int32_t p) const;
    void set_char_at(int32_t p, int code);
    void trim_trailing_controls();
};

// Text of a number: 10 significant digits, fixed or exponent form (see the worked values).
DynString number_to_text(double x);
// Writes number_to_text of x into out (at least 32 bytes); returns the characters written.
int number_to_text_into(double x, char* out);
double text_to_number(const DynString& s);
double text_to_number(const char* text);
// -1, 0, 1 comparing text_to_number(s) with x.
int compare_three_way(const DynString& s, double x);
// Byte-wise comparison (strcmp).
int compare_raw(const DynString& s, const char* text);

// concat: every mix of number, text and DynString that makes a new DynString.
DynString operator+(const DynString& a, const DynString& b);
DynString operator+(const DynString& a, const char* b);
DynString operator+(const char* a, const DynString& b);
DynString operator+(const DynString& a, int b);
DynString operator+(const DynString& a, float b);
DynString operator+(const DynString& a, double b);
DynString operator+(int a, const DynString& b);
DynString operator+(float a, const DynString& b);
DynString operator+(double a, const DynString& b);
DynString concat(const char* a, const char* b);
DynString concat(const char* a, int b);
DynString concat(const char* a, float b);
DynString concat(const char* a, double b);
DynString concat(int a, const char* b);
DynString concat(float a, const char* b);
DynString concat(double a, const char* b);

// compare_strings: 1.0 when the relation holds, else 0.0.
double operator==(const DynString& a, const DynString& b);
double operator!=(const DynString& a, const DynString& b);
double operator<(const DynString& a, const DynString& b);
double operator>(const DynString& a, const DynString& b);
double operator<=(const DynString& a, const DynString& b);
double operator>=(const DynString& a, const DynString& b);
double operator==(const DynString& a, const char* b);
double operator!=(const DynString& a, const char* b);
double operator<(const DynString& a, const char* b);
double operator>(const DynString& a, const char* b);
double operator<=(const DynString& a, const char* b);
double operator>=(const DynString& a, const char* b);
double operator==(const char* a, const DynString& b);
double operator!=(const char* a, const DynString& b);
double operator<(const char* a, const DynString& b);
double operator>(const char* a, const DynString& b);
double operator<=(const char* a, const DynString& b);
double operator>=(const char* a, const DynString& b);

// compare_string_number: the string read with text_to_number, compared as doubles.
double operator==(const DynString& a, double b);
double operator!=(const DynString& a, double b);
double operator<(const DynString& a, double b);
double operator>(const DynString& a, double b);
double operator<=(const DynString& a, double b);
double operator>=(const DynString& a, double b);
double operator==(double a, const DynString& b);
double operator!=(double a, const DynString& b);
double operator<(double a, const DynString& b);
double operator>(double a, const DynString& b);
double operator<=(double a, const DynString& b);
double operator>=(double a, const DynString& b);
// int and float operands widen to double.
inline double operator==(const DynString& a, int b) { return a == static_cast<double>(b); }
inline double operator!=(const DynString& a, int b) { return a != static_cast<double>(b); }
inline double operator<(const DynString& a, int b) { return a < static_cast<double>(b); }
inline double operator>(const DynString& a, int b) { return a > static_cast<double>(b); }
inline double operator<=(const DynString& a, int b) { return a <= static_cast<double>(b); }
inline double operator>=(const DynString& a, int b) { return a >= static_cast<double>(b); }
inline double operator==(int a, const DynString& b) { return static_cast<double>(a) == b; }
inline double operator!=(int a, const DynString& b) { return static_cast<double>(a) != b; }
inline double operator<(int a, const DynString& b) { return static_cast<double>(a) < b; }
inline double operator>(int a, const DynString& b) { return static_cast<double>(a) > b; }
inline double operator<=(int a, const DynString& b) { return static_cast<double>(a) <= b; }
inline double operator>=(int a, const DynString& b) { return static_cast<double>(a) >= b; }
inline double operator==(const DynString& a, float b) { return a == static_cast<double>(b); }
inline double operator!=(const DynString& a, float b) { return a != static_cast<double>(b); }
inline double operator<(const DynString& a, float b) { return a < static_cast<double>(b); }
inline double operator>(const DynString& a, float b) { return a > static_cast<double>(b); }
inline double operator<=(const DynString& a, float b) { return a <= static_cast<double>(b); }
inline double operator>=(const DynString& a, float b) { return a >= static_cast<double>(b); }
inline double operator==(float a, const DynString& b) { return static_cast<double>(a) == b; }
inline double operator!=(float a, const DynString& b) { return static_cast<double>(a) != b; }
inline double operator<(float a, const DynString& b) { return static_cast<double>(a) < b; }
inline double operator>(float a, const DynString& b) { return static_cast<double>(a) > b; }
inline double operator<=(float a, const DynString& b) { return static_cast<double>(a) <= b; }
inline double operator>=(float a, const DynString& b) { return static_cast<double>(a) >= b; }

}  // namespace runtime
