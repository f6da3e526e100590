// Text and number commands on DynString values and doubles, and the process-wide
// ISAAC random generator.
#include "runtime/core/string_functions.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>

namespace runtime {

namespace {

constexpr double DEGREES_PER_RADIAN = 57.29577951308232;
constexpr uint32_t GOLDEN_RATIO = 0x9e3779b9u;
constexpr int FORMAT_LIMIT = 512;  // the result buffer of format_number, terminator included
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

// Truncation towards zero that stays defined for any double (saturates at the int32 limits).
int32_t truncate_to_int(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int find_from(const char* haystack, const char* needle) {
    const char* hit = std::strstr(haystack, needle);
    return hit != nullptr ? static_cast<int>(hit - haystack) : -1;
}

// The published ISAAC initialisation mix of eight words.
struct MixWords {
    uint32_t a, b, c, d, e, f, g, h;
    // clang-format off
    void mix() {
        a ^= b << 11; d += a; b += c;
        b ^= c >> 2;  e += b; c += d;
        c ^= d << 8;  f += c; d += e;
        d ^= e >> 16; g += d; e += f;
        e ^= f << 10; h += e; f += g;
        f ^= g >> 4;  a += f; g += h;
        g ^= h << 8;  b += g; h += a;
        h ^= a >> 9;  c += h; a += b;
    }
    void add(const uint32_t* w) {
        a += w[0]; b += w[1]; c += w[2]; d += w[3];
        e += w[4]; f += w[5]; g += w[6]; h += w[7];
    }
    void store(uint32_t* w) const {
        w[0] = a; w[1] = b; w[2] = c; w[3] = d;
        w[4] = e; w[5] = f; w[6] = g; w[7] = h;
    }
    // clang-format on
};

}  // namespace

double find_text(const DynString& haystack, const DynString& needle) {
    return find_from(haystack.text_of(), needle.text_of());
}
double find_text(const DynString& haystack, const char* needle) {
    return find_from(haystack.text_of(), needle != nullptr ? needle : "");
}
double find_text(const char* haystack, const DynString& needle) {
    return find_from(haystack != nullptr ? haystack : "", needle.text_of());
}
double find_text(const char* haystack, const char* needle) {
    return find_from(haystack != nullptr ? haystack : "", needle != nullptr ? needle : "");
}

DynString mid_text(const DynString& s, double start, double count) {
    if (std::isnan(start) || std::isnan(count)) return DynString();
    double length = s.length;
    if (std::trunc(start + count) > length) count = length - start;
    if (count <= 0 || start > length || start < 0) return DynString();
    auto first = static_cast<uint32_t>(start);
    auto available = static_cast<uint32_t>(s.length) - first;
    uint32_t take = count >= available ? available : static_cast<uint32_t>(count);
    DynString result;
    result.append_bytes(s.buffer + first, take);
    result.recount_length();
    return result;
}

// Every match is found in the original text from just after the previous match, which
// is the same as searching the working copy right after the inserted replacement.
DynString replace_all(const DynString& text, const DynString& search,
                      const DynString& replacement) {
    // An empty search text would match everywhere without progress: the text comes back unchanged.
    if (search.length == 0) return DynString(text);
    const char* source = text.text_of();
    const char* hit = std::strstr(source, search.text_of());
    if (hit == nullptr) return DynString(text);
    DynString result;
    result.reserve(static_cast<uint32_t>(text.length));
    auto search_length = static_cast<size_t>(search.length);
    size_t position = 0;
    while (hit != nullptr) {
        auto at = static_cast<size_t>(hit - source);
        result.append_bytes(source + position, static_cast<uint32_t>(at - position));
        result.append_bytes(replacement.text_of(), static_cast<uint32_t>(replacement.length));
        position = at + search_length;
        hit = std::strstr(source + position, search.text_of());
    }
    result.append_bytes(source + position,
                        static_cast<uint32_t>(static_cast<size_t>(text.length) - position));
    return result;
}

DynString to_upper_copy(const DynString& s) {
    DynString r(s);
    for (int32_t i = 0; i < r.length; ++i)
        if (r.buffer[i] >= 'a' && r.buffer[i] <= 'z')
            r.buffer[i] = static_cast<char>(r.buffer[i] - 32);
    return r;
}

DynString to_lower_copy(const DynString& s) {
    DynString r(s);
    for (int32_t i = 0; i < r.length; ++i)
        if (r.buffer[i] >= 'A' && r.buffer[i] <= 'Z')
            r.buffer[i] = static_cast<char>(r.buffer[i] + 32);
    return r;
}

double text_length(const DynString& s) { return s.length; }

double number_text_length(double x) {
    char text[40];
    return number_to_text_into(x, text);
}

double char_code(const DynString& s) { return s.char_code_at(0); }

DynString char_text(double code) {
    if (std::isnan(code) || code <= -32769.0 || code >= 32768.0) return DynString();
    auto bits = static_cast<uint16_t>(static_cast<int16_t>(code));
    char text[3] = {static_cast<char>(bits & 0xff), static_cast<char>(bits >> 8), 0};
    return DynString(text);
}

DynString bytes_to_hex(const uint8_t* bytes, double count) {
    int32_t n = truncate_to_int(count);
    if (n <= 0 || bytes == nullptr) return DynString();
    DynString r;
    char* out = r.writable_buffer(static_cast<uint32_t>(n) * 2);
    for (int32_t i = 0; i < n; ++i) {
        out[2 * i] = HEX_DIGITS[bytes[i] >> 4];
        out[2 * i + 1] = HEX_DIGITS[bytes[i] & 15];
    }
    out[2 * n] = 0;
    r.recount_length();
    return r;
}

// The result buffer holds 511 characters. A width beyond that is clamped to 511 and
// negative decimals to 0; when the digits still would not fit, the decimals are cut
// down until they do. A negative width keeps printf's meaning (left-justified).
// NaN and infinities print as the C library writes them ("nan", "inf", "-inf").
DynString format_number(double width, double decimals, double value) {
    int32_t w = truncate_to_int(width);
    int32_t d = truncate_to_int(decimals);
    if (w > FORMAT_LIMIT - 1) w = FORMAT_LIMIT - 1;
    if (w < -(FORMAT_LIMIT - 1)) w = -(FORMAT_LIMIT - 1);
    if (d < 0) d = 0;
    if (d > FORMAT_LIMIT - 1) d = FORMAT_LIMIT - 1;
    char pattern[40];
    std::snprintf(pattern, sizeof pattern, "%%%d.%df", w, d);
    int needed = std::snprintf(nullptr, 0, pattern, value);
    if (needed >= FORMAT_LIMIT) {
        int integer_part = std::snprintf(nullptr, 0, "%.0f", value);
        d = FORMAT_LIMIT - 2 - integer_part;  // digits, ".", decimals and the terminator
        if (d < 0) d = 0;
        std::snprintf(pattern, sizeof pattern, "%%%d.%df", w, d);
    }
    DynString r;
    char* out = r.writable_buffer(256);
    std::snprintf(out, r.capacity, pattern, value);
    r.recount_length();
    return r;
}

// Our platform has no debugger output channel; a tracing debugger sees standard error.
void debug_print(const DynString& message) {
    std::ifstream status("/proc/self/status");
    std::string line;
    bool traced = false;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) {
            traced = std::strtol(line.c_str() + 10, nullptr, 10) != 0;
            break;
        }
    }
    if (traced) std::fprintf(stderr, "TX%s\n", message.text_of());
}

int find_first_of(const char* text, const char* set) {
    size_t i = std::strcspn(text, set);
    return text[i] != 0 ? static_cast<int>(i) : -1;
}

int find_first_not_of(const char* text, const char* set) {
    size_t i = std::strspn(text, set);
    return text[i] != 0 ? static_cast<int>(i) : -1;
}

double sin_deg(double angle) { return std::sin(angle / DEGREES_PER_RADIAN); }
double cos_deg(double angle) { return std::cos(angle / DEGREES_PER_RADIAN); }
double tan_deg(double angle) { return std::tan(angle / DEGREES_PER_RADIAN); }
double atan_deg(double y, double x) { return std::atan2(y, x) * DEGREES_PER_RADIAN; }

double asin_deg(double x) {
    if (x >= 1) return 90;
    if (x <= -1) return -90;
    return std::asin(x) * DEGREES_PER_RADIAN;
}

double acos_deg(double x) {
    if (x >= 1) return 0;
    if (x <= -1) return 180;
    return std::acos(x) * DEGREES_PER_RADIAN;
}

double square_root(double x) { return std::sqrt(x); }
double absolute(double x) { return x < 0 ? -x : x; }
double power(double base, double exponent) { return std::pow(base, exponent); }

// Never an integer division that traps: a divisor that truncates to 0 (|b| < 1) gives 0,
// and so does -2147483648 divided by -1 (its true remainder). Dividends and divisors
// beyond the int32 range saturate at its limits.
double int_mod(double a, double b) {
    if (b == 0) return 0;
    int32_t divisor = truncate_to_int(b);
    if (divisor == 0 || divisor == -1) return 0;
    int32_t dividend = truncate_to_int(a);
    return dividend % divisor;
}

RandomState& random_state() {
    static RandomState state;
    return state;
}

uint32_t random_next() {
    RandomState& r = random_state();
    r.counter += 1;
    r.last_result += r.counter;
    uint32_t a = r.accumulator;
    uint32_t b = r.last_result;
    uint32_t* m = r.memory;
    for (int i = 0; i < 256; ++i) {
        uint32_t x = m[i];
        switch (i & 3) {
            case 0:
                a ^= a << 13;
                break;
            case 1:
                a ^= a >> 6;
                break;
            case 2:
                a ^= a << 2;
                break;
            default:
                a ^= a >> 16;
                break;
        }
        a = m[(i + 128) & 255] + a;
        uint32_t y = m[(x >> 2) & 255] + a + b;
        m[i] = y;
        b = m[(y >> 10) & 255] + x;
        r.results[i] = b;
    }
    r.accumulator = a;
    r.last_result = b;
    return r.results[0];
}

// n at or above 4294967295 would make the modulus wrap to 0: the raw 32-bit word is
// then already within 0 ... n, so it is returned as it is. NaN counts as 0.
double random_int(double n) {
    if (!(n > 0)) return 0;
    uint32_t word = random_next();
    if (n >= 4294967295.0) return word;
    uint32_t modulus = static_cast<uint32_t>(n) + 1;
    return word % modulus;
}

void seed_random(uint32_t seed) {
    RandomState& r = random_state();
    r.accumulator = 0;
    r.last_result = 0;
    r.counter = 0;
    MixWords w{GOLDEN_RATIO, GOLDEN_RATIO, GOLDEN_RATIO, GOLDEN_RATIO,
               GOLDEN_RATIO, GOLDEN_RATIO, GOLDEN_RATIO, GOLDEN_RATIO};
    for (int i = 0; i < 256; i += 8) {
        w.a += seed;
        w.mix();
        w.store(r.memory + i);
    }
    for (int i = 0; i < 4; ++i) w.mix();
    // The result block takes part, so a later seeding depends on the values drawn before.
    for (int i = 0; i < 256; i += 8) {
        w.add(r.results + i);
        w.mix();
        w.store(r.memory + i);
    }
    for (int i = 0; i < 256; i += 8) {
        w.add(r.memory + i);
        w.mix();
        w.store(r.memory + i);
    }
    random_next();
}

double boxes_overlap(double x1, double y1, double w1, double h1, double x2, double y2, double w2,
                     double h2) {
    double ax0 = std::fmin(x1, x1 + w1), ax1 = std::fmax(x1, x1 + w1);
    double ay0 = std::fmin(y1, y1 + h1), ay1 = std::fmax(y1, y1 + h1);
    double bx0 = std::fmin(x2, x2 + w2), bx1 = std::fmax(x2, x2 + w2);
    double by0 = std::fmin(y2, y2 + h2), by1 = std::fmax(y2, y2 + h2);
    bool x_overlap = std::fmax(ax0, bx0) <= std::fmin(ax1, bx1);
    bool y_overlap = std::fmax(ay0, by0) <= std::fmin(ay1, by1);
    return (x_overlap && y_overlap) ? 1 : 0;
}

}  // namespace runtime
