// The exact test for the classic line layout: whether the original line steps give, for
// this file, the same entries as reading it by element names. Works on lines as they are
// read, so a converter that reads lines anyway decides on the way, without a second read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// A line this long may be a piece of a longer one; such files never count as classic.
constexpr size_t CLASSIC_LINE_LIMIT = 1024;
// Deeper nesting than the editor ever writes; such files go to the element reader.
constexpr size_t CLASSIC_DEPTH_LIMIT = 256;

// Follows a map file line by line. Lines are given as read: without LF or CR LF, pieces
// of at most CLASSIC_LINE_LIMIT bytes. Once a line does not fit, the answer stays no.
class ClassicLayoutCheck {
public:
    // Takes the next line; false once the file can no longer follow the classic layout.
    bool add_line(std::string_view line);
    // After the last line: true when the whole file follows the classic layout.
    bool follows() const { return stage_ == Stage::after_map; }
    // False as soon as a line did not fit (a reader can switch without reading further).
    bool still_possible() const { return stage_ != Stage::failed; }
    // Why the file does not follow the layout; empty while it still may.
    const std::string& reason() const { return reason_; }
    // Lines taken so far.
    uint64_t lines() const { return lines_; }

private:
    enum class Stage { declaration, map_line, tileset_line, body, in_data, after_map, failed };
    bool refuse(std::string reason);
    bool check_map_line(std::string_view line);
    bool check_tileset_line(std::string_view line);
    bool check_body_line(std::string_view line);
    bool check_data_line(std::string_view line);
    // Null when the line's tags fit, else why not.
    const char* balance_tags(std::string_view line);

    Stage stage_ = Stage::declaration;
    std::string reason_;
    uint64_t lines_ = 0;
    uint64_t cells_per_layer_ = 0;
    uint64_t cells_ = 0;  // tile lines in the current data element
    std::vector<std::string> open_elements_;  // outside layer data; a file is a few levels deep
    uint64_t data_in_layer_ = 0;  // data elements of the open layer
};

// Reads the file once, line by line as the converter reads it, and applies the test;
// a file that cannot be read does not follow the layout.
bool follows_classic_layout(const std::string& path);
// The same test on a whole file held in memory.
bool follows_classic_layout_text(std::string_view text);

}  // namespace app
