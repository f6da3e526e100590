// INI files: one process-wide store of sections and key/value pairs, loaded by
// ini_open and written back whole when another file is opened and at process exit.
// Names and keys compare without ASCII letter case; the first match wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/dyn_string.h"

namespace runtime {

// The text for any missing section or key.
constexpr char NOT_FOUND_TEXT[] = "NO_DATA";

struct IniEntry {
    DynString key;
    DynString value;
};

struct IniSection {
    DynString name;
    std::vector<IniEntry> entries;
};

struct IniStore {
    std::vector<IniSection> sections;  // in file order, then in order of creation
    int32_t section_count = 0;         // always sections.size()
    DynString file_name;               // where the store is written back; empty: nowhere
    bool changed = false;              // set by ini_put's key changes
};
// The store behind the INI commands.
IniStore& ini_store();

// Writes back a changed store, then loads the named file (through the archive lookup);
// a missing file gives an empty store that still remembers the name.
void ini_open(const DynString& file_name);
// The value, or "NO_DATA" when the section or key is missing.
DynString ini_get(const DynString& section, const DynString& key);
// Sets, appends or (empty value) removes a key; an empty key removes the whole section.
void ini_put(const DynString& section, const DynString& key, const DynString& value);

// For the runtime's own stores: load a file into a store (as ini_open, without the
// write-back of the old content), look up a value, write a changed store back.
void ini_load_file(IniStore& store, const DynString& file_name);
DynString ini_lookup(const IniStore& store, const char* section, const char* key);
// The section ini_lookup searches for that name, or null.
const IniSection* ini_section(const IniStore& store, const char* name);
void ini_write_back(IniStore& store);

// The byte parser: empties the store's sections and fills them from an INI file's bytes
// (lines of 1024 bytes or more are cut to 1023). Leaves file_name and changed alone.
void ini_parse_bytes(IniStore& store, const char* data, size_t size);
// The store's file content as write-back produces it.
std::vector<char> ini_render(const IniStore& store);

}  // namespace runtime
