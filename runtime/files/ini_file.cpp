// INI store: the line parser, lookup, changes and write-back. Comments and blank lines
// are not kept; there are no quoting or escape rules.
#include "runtime/files/ini_file.h"

#include <cstring>

#include "runtime/files/file_line_source.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/line_reader.h"
#include "runtime/files/packed_archive.h"
#include "runtime/platform/files.h"

namespace runtime {

IniStore& ini_store() {
    static IniStore store;
    return store;
}

namespace {

// The reader's line buffer holds 1023 bytes and a terminator.
constexpr uint32_t INI_LINE_WIDTH = 1024;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_word(char c) { return is_blank(c) || c == '='; }

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(const char* a, const char* b) {
    while (*a && lower_ascii(*a) == lower_ascii(*b)) {
        ++a;
        ++b;
    }
    return lower_ascii(*a) == lower_ascii(*b);
}

DynString text_of_range(const char* from, const char* to) {
    DynString s;
    s.append_bytes(from, static_cast<uint32_t>(to - from));
    return s;
}

void store_section(IniStore& store, IniSection& collecting) {
    if (!collecting.entries.empty()) {
        store.sections.push_back(std::move(collecting));
        store.section_count = static_cast<int32_t>(store.sections.size());
    }
    collecting.entries.clear();
}

// One line of the file into the section being collected (or a new section).
void parse_line(IniStore& store, IniSection& collecting, const char* p) {
    while (is_blank(*p)) ++p;
    if (!*p || *p == ';') return;
    if (*p == '[') {
        DynString previous = collecting.name;
        store_section(store, collecting);
        ++p;
        while (is_blank(*p)) ++p;
        const char* end = p;
        while (*end && !ends_word(*end)) ++end;
        if (end > p && end[-1] == ']') --end;
        collecting = IniSection{};
        collecting.name = end > p ? text_of_range(p, end) : previous;
        return;
    }
    const char* key_end = p;
    while (*key_end && !ends_word(*key_end)) ++key_end;
    if (!*key_end) return;
    const char* q = key_end;
    while (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n') ++q;
    if (*q != '=') return;
    ++q;
    while (is_blank(*q)) ++q;
    if (!*q) return;
    DynString value(q);
    value.trim_trailing_controls();
    // A value of bytes 128-255 alone trims away; an empty value is never loaded, or a
    // write-back would turn "key=" into no key at all.
    if (value.length == 0) return;
    collecting.entries.push_back(IniEntry{text_of_range(p, key_end), std::move(value)});
}

template <class Source>
void parse_lines(IniStore& store, Source& source) {
    store.sections.clear();
    store.section_count = 0;
    IniSection collecting;
    char line[LINE_LIMIT + 1];
    while (!source.at_end()) {
        LineResult r = read_cut_line(source, line, INI_LINE_WIDTH);
        if (r.status == LineStatus::NOTHING_LEFT || r.status == LineStatus::FAILED) break;
        parse_line(store, collecting, line);
    }
    store_section(store, collecting);
}

IniSection* find_section(IniStore& store, const char* name) {
    return const_cast<IniSection*>(ini_section(store, name));
}

// Removal moves the last element into the gap, as the store always has.
template <class T>
void remove_by_moving_last(std::vector<T>& items, size_t at) {
    if (at + 1 != items.size()) items[at] = std::move(items.back());
    items.pop_back();
}

}  // namespace

void ini_parse_bytes(IniStore& store, const char* data, size_t size) {
    MemoryLineSource source{data, size, 0};
    parse_lines(store, source);
}

std::vector<char> ini_render(const IniStore& store) {
    std::vector<char> out;
    auto put = [&out](const DynString& s) { out.insert(out.end(), s.text_of(), s.text_of() + s.length); };
    for (const IniSection& s : store.sections) {
        out.push_back('[');
        put(s.name);
        out.insert(out.end(), {']', '\r', '\n'});
        for (const IniEntry& e : s.entries) {
            put(e.key);
            out.push_back('=');
            put(e.value);
            out.insert(out.end(), {'\r', '\n'});
        }
    }
    return out;
}

void ini_load_file(IniStore& store, const DynString& file_name) {
    store.changed = false;
    store.file_name = "";
    store.sections.clear();
    store.section_count = 0;
    // A file served from the archive is read from, and written back to, its extracted copy.
    char resolved[ARCHIVE_PATH_SIZE];
    if (resolve_packed_name(file_name.text_of(), resolved))
        store.file_name = resolved;
    else
        store.file_name = file_name;
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(store.file_name.text_of(), system_name)) return;
    platform::FileHandle file = platform::open_for_reading(system_name);
    if (!file.is_open()) return;
    files_detail::FileLineSource source(file);
    parse_lines(store, source);
}

void ini_write_back(IniStore& store) {
    if (!store.changed || store.file_name.length == 0) return;
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(store.file_name.text_of(), system_name)) return;
    std::vector<char> bytes = ini_render(store);
    platform::replace_file(system_name, bytes.data(), bytes.size());
}

const IniSection* ini_section(const IniStore& store, const char* name) {
    for (const IniSection& s : store.sections)
        if (same_name(s.name.text_of(), name)) return &s;
    return nullptr;
}

DynString ini_lookup(const IniStore& store, const char* section, const char* key) {
    // Only the first section of that name is searched.
    if (const IniSection* s = ini_section(store, section)) {
        for (const IniEntry& e : s->entries)
            if (same_name(e.key.text_of(), key)) return e.value;
    }
    return DynString(NOT_FOUND_TEXT);
}

void ini_open(const DynString& file_name) {
    IniStore& store = ini_store();
    files_detail::ensure_exit_cleanup();
    ini_write_back(store);
    ini_load_file(store, file_name);
}

DynString ini_get(const DynString& section, const DynString& key) {
    return ini_lookup(ini_store(), section.text_of(), key.text_of());
}

void ini_put(const DynString& section, const DynString& key, const DynString& value) {
    IniStore& store = ini_store();
    files_detail::ensure_exit_cleanup();
    if (key.length == 0) {
        // Removing a whole section alone does not mark the store changed.
        for (size_t i = 0; i < store.sections.size(); ++i) {
            if (same_name(store.sections[i].name.text_of(), section.text_of())) {
                remove_by_moving_last(store.sections, i);
                store.section_count = static_cast<int32_t>(store.sections.size());
                break;
            }
        }
        return;
    }
    IniSection* s = find_section(store, section.text_of());
    if (!s) {
        store.sections.push_back(IniSection{section, {}});
        store.section_count = static_cast<int32_t>(store.sections.size());
        s = &store.sections.back();
    }
    store.changed = true;
    for (size_t i = 0; i < s->entries.size(); ++i) {
        if (!same_name(s->entries[i].key.text_of(), key.text_of())) continue;
        if (value.length > 0)
            s->entries[i].value = value;
        else
            remove_by_moving_last(s->entries, i);
        return;
    }
    s->entries.push_back(IniEntry{key, value});
}

}  // namespace runtime
