// Links: runtime_files
// INI lines on arbitrary bytes: the store holds only well-formed entries, and writing it
// back then reading that again gives the same store.
#include <string_view>

#include "runtime/files/ini_file.h"
#include "support/fuzz_support.h"

namespace {

std::string_view view(const runtime::DynString& s) { return std::string_view(s.text_of(), static_cast<size_t>(s.length)); }

bool same_store(const runtime::IniStore& a, const runtime::IniStore& b) {
    if (a.sections.size() != b.sections.size()) return false;
    for (size_t i = 0; i < a.sections.size(); ++i) {
        const runtime::IniSection& x = a.sections[i];
        const runtime::IniSection& y = b.sections[i];
        if (view(x.name) != view(y.name) || x.entries.size() != y.entries.size()) return false;
        for (size_t j = 0; j < x.entries.size(); ++j) {
            if (view(x.entries[j].key) != view(y.entries[j].key) || view(x.entries[j].value) != view(y.entries[j].value))
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    runtime::IniStore store;
    runtime::ini_parse_bytes(store, reinterpret_cast<const char*>(data), size);
    fuzz::require(store.section_count == static_cast<int32_t>(store.sections.size()), "the section count is kept");
    for (const runtime::IniSection& section : store.sections) {
        fuzz::require(!section.entries.empty(), "a stored section has entries");
        for (const runtime::IniEntry& e : section.entries) {
            const std::string_view key = view(e.key), value = view(e.value);
            // A line that starts with "=" has an empty key.
            fuzz::require(key.size() < 1024 && key.find_first_of(" \t\r\n=") == std::string_view::npos,
                          "a key is one word");
            fuzz::require(!value.empty() && value.size() < 1024, "a value is 1 to 1023 bytes");
        }
    }
    const std::vector<char> written = runtime::ini_render(store);
    runtime::IniStore again;
    runtime::ini_parse_bytes(again, written.data(), written.size());
    fuzz::require(same_store(store, again), "a written store reads back the same");
    return 0;
}
