// The limits and messages both map readers apply the same way.
#include "app/reader_helpers.h"

namespace app {

namespace {

constexpr size_t NAME_IN_MESSAGE_LIMIT = 64;  // layer and element names quoted in reasons

}  // namespace

std::string quoted_for_message(std::string_view text) {
    std::string out = "\"";
    for (char c : text.substr(0, NAME_IN_MESSAGE_LIMIT))
        out.push_back(c == '\r' || c == '\n' || c == '\t' ? ' ' : c);
    if (text.size() > NAME_IN_MESSAGE_LIMIT) out += "...";
    return out + "\"";
}

bool check_used_area(const UsedArea& area, std::string& reason) {
    if (area.empty()) {
        reason = "the map is empty";
        return false;
    }
    if (area.width() > LARGEST_WORD_VALUE || area.height() > LARGEST_WORD_VALUE) {
        reason = "the map's used area, " + std::to_string(area.width()) + " x " +
                 std::to_string(area.height()) +
                 " tiles, is larger than 65535, the largest number the .pyxm file holds";
        return false;
    }
    return true;
}

std::string first_line_as_read(std::string_view start) {
    if (start.substr(0, 3) == "\xEF\xBB\xBF") start.remove_prefix(3);
    std::string_view window = start.substr(0, FIRST_LINE_LIMIT);
    const size_t feed = window.find('\n');
    if (feed != std::string_view::npos) {
        window = window.substr(0, feed);
        if (!window.empty() && window.back() == '\r') window.remove_suffix(1);
    }
    const size_t zero = window.find('\0');
    if (zero != std::string_view::npos) window = window.substr(0, zero);
    return std::string(window);
}

}  // namespace app
