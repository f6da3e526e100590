// The packed-file lookup every loader goes through: a loose file wins, else the entry
// of that bare name is unpacked from the archive into a temporary file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/dyn_string.h"
#include "runtime/platform/files.h"

namespace runtime {

constexpr char EXTRACT_PREFIX[] = "qvk";
constexpr size_t ARCHIVE_PATH_SIZE = 1024;
constexpr int ARCHIVE_RECORD_COUNT = 2;

struct PackedArchive {
    uint8_t enabled = 0;
    std::string archive_path;    // shorter than ARCHIVE_PATH_SIZE
    std::string extracted_path;  // the last lookup's temporary file, or empty
};

// The two lookup records; lookups use the first, the second is only set and cleaned up.
struct PackedArchiveRecords {
    std::array<PackedArchive, ARCHIVE_RECORD_COUNT> records;
    // Where entries are unpacked: the shared temporary folder would let other users
    // plant or read them.
    platform::PrivateFolder extract_folder;
};
PackedArchiveRecords& packed_archive_records();

// Deletes each record's extracted file, then enables both records with these archive
// paths (a path of 1024 bytes or more is stored empty, so its record disables itself).
void set_archive_paths(const DynString& first, const DynString& second);
void set_archive_paths(const char* first, const char* second);
// 1 with a readable path in out (ARCHIVE_PATH_SIZE bytes) for the requested name, else
// 0 with out empty. The previous lookup's temporary file is deleted first.
int resolve_packed_name(PackedArchive& record, const char* name, char* out);
// The same through the first record, as every loader does; a name found nowhere is
// looked up in the installed data folder last (data_folder.h).
int resolve_packed_name(const char* name, char* out);
// The end of the program: deletes the extracted files and their folder, clears both
// records and the data folder.
void close_packed_archives();

}  // namespace runtime
