#include "runtime/net/http_reply.h"

#include <algorithm>
#include <cctype>

namespace runtime {

size_t ReplyHeaderScan::feed(std::span<const uint8_t> chunk) {
    if (ended()) return 0;
    const size_t start = size;
    size_t body = chunk.size();
    for (size_t i = 0; i < chunk.size() && !too_long(); ++i) {
        ++size;
        if (chunk[i] == '\r') continue;
        line_feeds = chunk[i] == '\n' ? line_feeds + 1 : 0;
        if (ended()) {
            body = i + 1;
            break;
        }
    }
    text.append(reinterpret_cast<const char*>(chunk.data()), size - start);
    return body;
}

namespace {

constexpr std::string_view CONTENT_LENGTH = "content-length";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool names_content_length(std::string_view name) {
    return std::equal(name.begin(), name.end(), CONTENT_LENGTH.begin(), CONTENT_LENGTH.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A decimal number of at most 64 bits, digits only.
bool parse_bytes(std::string_view digits, uint64_t& out) {
    if (digits.empty()) return false;
    uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    out = value;
    return true;
}

}  // namespace

DeclaredLength declared_length(std::string_view header, uint64_t& bytes) {
    DeclaredLength found = DeclaredLength::NONE;
    // The first line is the status line; fields follow, one a line.
    size_t at = header.find('\n');
    while (at != std::string_view::npos && at + 1 < header.size()) {
        const size_t end = header.find('\n', at + 1);
        const std::string_view line =
            header.substr(at + 1, end == std::string_view::npos ? end : end - at - 1);
        at = end;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !names_content_length(line.substr(0, colon))) continue;
        uint64_t value = 0;
        if (!parse_bytes(trimmed(line.substr(colon + 1)), value)) return DeclaredLength::INVALID;
        if (found == DeclaredLength::BYTES && value != bytes) return DeclaredLength::INVALID;
        found = DeclaredLength::BYTES;
        bytes = value;
    }
    return found;
}

}  // namespace runtime
