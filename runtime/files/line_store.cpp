// The line store: one held file of up to 256 lines, taken up by name on every command.
// Failures are recorded as stop codes without ending the program.
#include "runtime/files/line_store.h"

#include <cstring>

#include "runtime/core/lifecycle.h"
#include "runtime/files/file_line_source.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/ini_file.h"
#include "runtime/files/line_reader.h"
#include "runtime/files/packed_archive.h"
#include "runtime/platform/files.h"

namespace runtime {

LineStore& line_store() {
    static LineStore store;
    return store;
}

namespace {

char* slot(LineStore& store, int n) { return store.lines.data() + static_cast<size_t>(n) * LINE_STORE_WIDTH; }

// Line numbers are truncated, then taken as unsigned: negatives are out of range too.
bool line_index(double line, int& n) {
    int32_t v = files_detail::truncate_int32(line);
    if (static_cast<uint32_t>(v) >= static_cast<uint32_t>(LINE_STORE_LINES)) return false;
    n = v;
    return true;
}

template <class Source>
void load_lines(LineStore& store, Source& source) {
    int n = 0;
    char line[LINE_LIMIT + 1];
    while (n < LINE_STORE_LINES && !source.at_end()) {
        // Longer lines than a slot holds are cut; their rest does not become a line.
        LineResult r = read_cut_line(source, line, LINE_STORE_WIDTH);
        if (r.status == LineStatus::NOTHING_LEFT || r.status == LineStatus::FAILED) break;
        std::memcpy(slot(store, n), line, r.length);
        store.last_line = n;
        ++n;
    }
}

void clear_store(LineStore& store) {
    std::memset(store.lines.data(), 0, store.lines.size());
    store.changed = false;
    store.last_line = 0;
}

// Makes `name` the held file; 0 on success, 3 (recorded) when it cannot be read.
int take_up(const char* name) {
    LineStore& store = line_store();
    files_detail::ensure_exit_cleanup();
    if (store.file_name == name) return 0;
    if (strnlen(name, LINE_STORE_WIDTH) >= static_cast<size_t>(LINE_STORE_WIDTH)) {
        // A name that does not fit the store cannot be held; the held file stays.
        set_stop_code(STOP_FILE);
        return STOP_FILE;
    }
    line_store_write_back();
    clear_store(store);
    store.file_name = name;
    char path[ARCHIVE_PATH_SIZE];
    char system_name[platform::NAME_BUFFER_SIZE];
    platform::FileHandle file;
    if (resolve_packed_name(name, path) && platform::to_system_name(path, system_name))
        file = platform::open_for_reading(system_name);
    if (!file.is_open()) {
        set_stop_code(STOP_FILE);
        return STOP_FILE;
    }
    files_detail::FileLineSource source(file);
    load_lines(store, source);
    return 0;
}

int read_stored_line(const char* name, double line, DynString& text) {
    int n = 0;
    if (!line_index(line, n)) {
        text = NOT_FOUND_TEXT;
        set_stop_code(STOP_RANGE);
        return STOP_RANGE;
    }
    if (take_up(name) != 0) {
        text = NO_FILE_TEXT;
        return STOP_FILE;
    }
    text = slot(line_store(), n);
    text.trim_trailing_controls();
    if (text.length == 0) text = NOT_FOUND_TEXT;
    return 0;
}

void store_line(const char* name, double line, const char* text) {
    int n = 0;
    if (!line_index(line, n)) {
        set_stop_code(STOP_RANGE);
        return;
    }
    take_up(name);
    LineStore& store = line_store();
    if (store.file_name != name) return;  // the name could not be held
    char* s = slot(store, n);
    size_t length = strnlen(text, LINE_STORE_WIDTH - 1);
    std::memset(s, 0, LINE_STORE_WIDTH);
    std::memcpy(s, text, length);
    if (n > store.last_line) store.last_line = n;
    store.changed = true;
}

}  // namespace

void line_store_parse_bytes(LineStore& store, const char* data, size_t size) {
    clear_store(store);
    MemoryLineSource source{data, size, 0};
    load_lines(store, source);
}

void line_store_write_back() {
    LineStore& store = line_store();
    if (store.file_name.empty() || !store.changed) return;
    std::vector<char> bytes;
    for (int n = 0; n <= store.last_line; ++n) {
        const char* s = slot(store, n);
        bytes.insert(bytes.end(), s, s + strnlen(s, LINE_STORE_WIDTH));
        bytes.insert(bytes.end(), {'\r', '\n'});
    }
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(store.file_name.c_str(), system_name)) return;
    platform::replace_file(system_name, bytes.data(), bytes.size());
}

void line_file_read_text(const DynString& file_name, double line, DynString& text) {
    read_stored_line(file_name.text_of(), line, text);
}

void line_file_read_number(const DynString& file_name, double line, double& value) {
    DynString text;
    read_stored_line(file_name.text_of(), line, text);
    value = text_to_number(text);
}

void line_file_write_text(const char* file_name, double line, const DynString& text) {
    store_line(file_name ? file_name : "", line, text.text_of());
}

void line_file_write_text(const DynString& file_name, double line, const DynString& text) {
    line_file_write_text(file_name.text_of(), line, text);
}

void line_file_write_number(const char* file_name, double line, double value) {
    line_file_write_text(file_name, line, number_to_text(value));
}

void line_file_write_number(const DynString& file_name, double line, double value) {
    line_file_write_number(file_name.text_of(), line, value);
}

}  // namespace runtime
