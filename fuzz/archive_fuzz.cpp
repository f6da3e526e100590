// Links: runtime_files
// The packed archive's trailer and directory on arbitrary bytes, every entry unpacked,
// and the lookup through a real archive file giving the same bytes as memory does.
#include <filesystem>
#include <vector>

#include "runtime/files/archive_format.h"
#include "runtime/files/packed_archive.h"
#include "support/fuzz_support.h"

namespace {

constexpr size_t ENTRIES_LOOKED_AT = 64;

// A name the lookup can be asked for: one path component, no zero byte, and no loose
// file of that name beside us (a loose file wins over the archive).
bool askable(const std::string& name) {
    std::error_code ignored;
    return name != "." && name != ".." && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
           !std::filesystem::exists(name, ignored);
}

// The file lookup must find what the memory parser finds and hand over the same bytes.
void check_file_lookup(const uint8_t* data, size_t size, const std::string& name) {
    runtime::MemoryArchiveSource source(data, size);
    runtime::ArchiveEntry entry;
    const bool found = runtime::find_archive_entry(source, name, entry) == runtime::ArchiveStatus::FOUND;
    std::vector<uint8_t> expected;
    if (found) runtime::unpack_archive_entry(data + entry.data_start, static_cast<size_t>(entry.packed_size), expected);

    runtime::set_archive_paths(fuzz::scratch_file("archive.pak", data, size).c_str(), "");
    char resolved[runtime::ARCHIVE_PATH_SIZE];
    const int hit = runtime::resolve_packed_name(name.c_str(), resolved);
    fuzz::require(hit == (found ? 1 : 0), "the file lookup finds what the memory parser finds");
    if (hit) {
        const std::string content = fuzz::file_content(resolved);
        fuzz::require(content == std::string(expected.begin(), expected.end()), "the extracted file holds the unpacked entry");
    }
    runtime::close_packed_archives();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    runtime::MemoryArchiveSource source(data, size);
    std::vector<runtime::ArchiveEntry> entries;
    runtime::walk_archive_directory(source, [&](const runtime::ArchiveEntry& e) {
        entries.push_back(e);
        return entries.size() < ENTRIES_LOOKED_AT;
    });
    for (const runtime::ArchiveEntry& e : entries) {
        fuzz::require(!e.name.empty() && e.name.size() <= 255, "entry names are 1 to 255 bytes");
        if (!e.data_inside) continue;
        fuzz::require(e.packed_size >= 4 && e.data_start + static_cast<uint64_t>(e.packed_size) <= size,
                      "an entry's bytes lie inside the archive");
        std::vector<uint8_t> out;
        if (runtime::unpack_archive_entry(data + e.data_start, static_cast<size_t>(e.packed_size), out)) {
            fuzz::require(out.size() == fuzz::header_field(data, size, e.data_start, 4), "an entry unpacks to its size");
        } else {
            fuzz::require(out.empty(), "a damaged entry gives nothing");
        }
    }
    if (!entries.empty() && askable(entries.front().name)) check_file_lookup(data, size, entries.front().name);
    return 0;
}
