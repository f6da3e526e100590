// Line data files: numbered lines (0..255) of one text file held in memory, read and
// written by file name; naming another file writes a changed one back first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/dyn_string.h"

namespace runtime {

constexpr int LINE_STORE_LINES = 256;
constexpr int LINE_STORE_WIDTH = 1024;
constexpr char NO_FILE_TEXT[] = "NO_FILE";

struct LineStore {
    std::string file_name;  // shorter than LINE_STORE_WIDTH; empty when none
    // Slot n at n * LINE_STORE_WIDTH, zero-terminated; unused slots all zero.
    std::vector<char> lines = std::vector<char>(static_cast<size_t>(LINE_STORE_LINES) * LINE_STORE_WIDTH);
    int32_t last_line = 0;
    bool changed = false;
};
LineStore& line_store();

// The line's text; "NO_DATA" for an empty line or a bad number (stop code 7 recorded),
// "NO_FILE" when the file cannot be found (stop code 3 recorded). Never ends the program.
void line_file_read_text(const DynString& file_name, double line, DynString& text);
// text_to_number of what line_file_read_text gives, so every failure reads as 0.
void line_file_read_number(const DynString& file_name, double line, double& value);
// Stores the text as line n (cut to 1023 bytes); a bad number records stop code 7.
void line_file_write_text(const DynString& file_name, double line, const DynString& text);
void line_file_write_text(const char* file_name, double line, const DynString& text);
// Stores number_to_text of the value as line n.
void line_file_write_number(const DynString& file_name, double line, double value);
void line_file_write_number(const char* file_name, double line, double value);

// Writes the held file back when it was changed (the exit clean-up does this).
void line_store_write_back();
// The byte parser: fills slots from a file's bytes as the take-up reads them.
void line_store_parse_bytes(LineStore& store, const char* data, size_t size);

}  // namespace runtime
