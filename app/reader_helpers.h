// What the map readers share: their limits, the quoting of names in refusal reasons, the
// check of an infinite map's used area and the first line as the line reader gives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/chunk_area.h"

namespace app {

// The editor writes a few levels; deeper files are refused before they cost memory.
inline constexpr size_t DEPTH_LIMIT = 256;
inline constexpr size_t TEXT_ENTRY_LIMIT = 255;        // version and first gid entries
inline constexpr uint64_t LARGEST_WORD_VALUE = 65535;  // map and tile sizes must fit a 16-bit word
inline constexpr size_t FIRST_LINE_LIMIT = 1024;       // the line reader's longest piece
inline constexpr const char* NO_MEMORY = "not enough memory to read the map";

// A name or value quoted for a refusal reason: at most 64 characters, line breaks as blanks.
std::string quoted_for_message(std::string_view text);

// An infinite map's used area, once all chunks are known: false with the reason when it
// is empty or larger than the ".pyxm" words hold.
bool check_used_area(const UsedArea& area, std::string& reason);

// The first line of a file's bytes as the line reader delivers it: without a UTF-8
// byte-order mark, without LF or CR LF, at most 1024 bytes, cut at a zero byte.
std::string first_line_as_read(std::string_view start_of_file);

}  // namespace app
