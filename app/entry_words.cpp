// Numbers of entries: a fast path for plain digit runs (every gid and size the map writer
// produces), the full number grammar for anything else.
#include "app/entry_words.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace app {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of text that forms a number, 0 when there is none.
size_t number_prefix(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        size_t exponent_digits = 0;
        while (j < text.size() && is_digit(text[j])) ++j, ++exponent_digits;
        if (exponent_digits > 0) i = j;
    }
    return i;
}

}  // namespace

double entry_number(std::string_view entry) {
    size_t start = 0;
    while (start < entry.size() && is_blank(entry[start])) ++start;
    std::string_view text = entry.substr(start);
    // Up to 15 digits are exact in a double: the common case needs no conversion call.
    size_t run = 0;
    uint64_t value = 0;
    while (run < text.size() && run < 15 && is_digit(text[run])) value = value * 10 + static_cast<uint64_t>(text[run++] - '0');
    if (run > 0 && (run == text.size() || (!is_digit(text[run]) && text[run] != '.' && text[run] != 'e' && text[run] != 'E')))
        return static_cast<double>(value);
    size_t length = number_prefix(text);
    if (length == 0) return 0.0;
    std::string copy(text.substr(0, length));
    return std::strtod(copy.c_str(), nullptr);
}

uint16_t entry_word(std::string_view entry) {
    double x = entry_number(entry);
    if (!std::isfinite(x)) return 0;
    double low = std::fmod(std::trunc(x), 65536.0);  // exact for every double
    if (low < 0) low += 65536.0;
    return static_cast<uint16_t>(low);
}

}  // namespace app
