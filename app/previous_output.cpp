// The pair check, streamed: the text line by line, its expected words kept (two bytes a
// tile), then the binary compared with them.
#include "app/previous_output.h"

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "app/entry_words.h"

namespace app {

namespace {

enum class Presence { missing, regular, other };

Presence presence_of(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return Presence::missing;
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) return Presence::other;
    return S_ISREG(info.st_mode) ? Presence::regular : Presence::other;
}

// The words the text's lines give, and the first line's apart; false when the text is
// not made of CR LF lines.
bool words_of_text(const std::string& path, bool& first_has_word, uint16_t& first_word,
                   std::vector<uint16_t>& rest) {
    std::ifstream text(path, std::ios::binary);
    if (!text) return false;
    std::string line;
    bool first = true, any = false;
    while (std::getline(text, line)) {
        any = true;
        // Every line ends in CR LF, the last one too.
        if (text.eof() || line.empty() || line.back() != '\r') return false;
        line.pop_back();
        if (first) {
            first_has_word = entry_has_word(line);
            first_word = entry_word(line);
            first = false;
        } else if (entry_has_word(line)) {
            rest.push_back(entry_word(line));
        }
    }
    return any && text.eof() && !text.bad();
}

bool binary_matches(const std::string& path, bool first_has_word, uint16_t first_word,
                    const std::vector<uint16_t>& rest) {
    std::ifstream binary(path, std::ios::binary | std::ios::ate);
    if (!binary) return false;
    const auto size = static_cast<uint64_t>(binary.tellg());
    bool with_first = false;
    if (size == 2 * (rest.size() + 1) && first_has_word) {
        with_first = true;
    } else if (size != 2 * rest.size()) {
        return false;
    }
    binary.seekg(0);
    const auto next_matches = [&binary](uint16_t expected) {
        unsigned char bytes[2];
        if (!binary.read(reinterpret_cast<char*>(bytes), 2)) return false;
        return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)) == expected;
    };
    if (with_first && !next_matches(first_word)) return false;
    for (uint16_t word : rest)
        if (!next_matches(word)) return false;
    return true;
}

}  // namespace

std::string foreign_output(const std::string& text_path, const std::string& binary_path) {
    const Presence text = presence_of(text_path), binary = presence_of(binary_path);
    if (text == Presence::missing && binary == Presence::missing) return "";
    if (text == Presence::missing) return binary_path;
    if (binary == Presence::missing || text == Presence::other) return text_path;
    if (binary == Presence::other) return binary_path;
    bool first_has_word = false;
    uint16_t first_word = 0;
    std::vector<uint16_t> rest;
    if (!words_of_text(text_path, first_has_word, first_word, rest)) return text_path;
    return binary_matches(binary_path, first_has_word, first_word, rest) ? "" : text_path;
}

std::string foreign_output_reason(const std::string& path) {
    return path + " exists and was not written by brisel42_x9 (--force replaces it)";
}

}  // namespace app
