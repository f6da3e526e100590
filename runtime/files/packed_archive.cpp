// Archive lookup through the two records. Nothing is cached between lookups: every
// lookup re-reads the trailer and directory from disk.
#include "runtime/files/packed_archive.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/error_log.h"
#include "runtime/files/archive_format.h"
#include "runtime/files/data_folder.h"
#include "runtime/files/files_internal.h"
#include "runtime/platform/files.h"

namespace runtime {

PackedArchiveRecords& packed_archive_records() {
    static PackedArchiveRecords records;
    return records;
}

namespace {

// An open archive file with a small read-ahead window for the directory's tiny reads.
class FileArchiveSource : public ArchiveSource {
public:
    explicit FileArchiveSource(platform::FileHandle& file) : file_(file) {
        int64_t n = platform::file_length(file);
        size_ = n > 0 ? static_cast<uint64_t>(n) : 0;
    }
    uint64_t size() const override { return size_; }
    bool read_at(uint64_t offset, void* into, size_t n) override {
        if (offset > size_ || n > size_ - offset) return false;
        if (n > WINDOW / 2) return platform::read_at(file_, into, n, offset) == static_cast<int64_t>(n);
        if (offset < window_start_ || offset + n > window_start_ + window_.size()) {
            window_.resize(WINDOW);
            int64_t got = platform::read_at(file_, window_.data(), WINDOW, offset);
            if (got < 0) {
                window_.clear();
                return false;
            }
            window_.resize(static_cast<size_t>(got));
            window_start_ = offset;
            if (n > window_.size()) return false;
        }
        std::memcpy(into, window_.data() + (offset - window_start_), n);
        return true;
    }

private:
    static constexpr size_t WINDOW = 64 * 1024;
    platform::FileHandle& file_;
    uint64_t size_ = 0;
    std::vector<uint8_t> window_;
    uint64_t window_start_ = 0;
};

void delete_extracted(PackedArchive& record) {
    if (!record.extracted_path.empty()) platform::delete_unheld(record.extracted_path.c_str());
    record.extracted_path.clear();
}

void copy_out(char* out, const std::string& text) {
    size_t n = std::min(text.size(), ARCHIVE_PATH_SIZE - 1);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

// The temporary file's name in the private folder: prefix and two letters from the
// entry's offset and size. Empty when there is no private folder.
std::string extract_path_for(const ArchiveEntry& entry) {
    std::string path = packed_archive_records().extract_folder.path(temp_folder());
    if (path.empty()) return path;
    path += EXTRACT_PREFIX;
    path += static_cast<char>('A' + (static_cast<uint8_t>(entry.data_offset & 0xFF) % 26));
    path += static_cast<char>('A' + (static_cast<uint8_t>(entry.packed_size & 0xFF) % 26));
    return path;
}

}  // namespace

void set_archive_paths(const char* first, const char* second) {
    files_detail::ensure_archive_teardown();
    const char* paths[ARCHIVE_RECORD_COUNT] = {first, second};
    for (int i = 0; i < ARCHIVE_RECORD_COUNT; ++i) {
        PackedArchive& record = packed_archive_records().records[static_cast<size_t>(i)];
        delete_extracted(record);
        record = PackedArchive{};
        record.enabled = 1;
        const char* p = paths[i] ? paths[i] : "";
        if (strnlen(p, ARCHIVE_PATH_SIZE) < ARCHIVE_PATH_SIZE) record.archive_path = p;
    }
}

void set_archive_paths(const DynString& first, const DynString& second) {
    set_archive_paths(first.text_of(), second.text_of());
}

int resolve_packed_name(PackedArchive& record, const char* name, char* out) {
    out[0] = 0;
    delete_extracted(record);
    if (!name || !*name) return 0;

    // A loose file of that name wins over the archive.
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(name, system_name)) return 0;
    if (platform::open_for_reading(system_name).is_open()) {
        copy_out(out, name);
        return 1;
    }

    if (!record.enabled) return 0;
    char archive_name[platform::NAME_BUFFER_SIZE];
    if (record.archive_path.empty() || !platform::to_system_name(record.archive_path.c_str(), archive_name)) {
        record.enabled = 0;
        return 0;
    }
    platform::FileHandle archive = platform::open_for_reading(archive_name);
    if (!archive.is_open()) {
        record.enabled = 0;
        return 0;
    }
    FileArchiveSource source(archive);
    uint64_t directory_start = 0;
    bool from_end = false;
    if (read_archive_trailer(source, directory_start, from_end) == ArchiveStatus::BAD_TRAILER) {
        record.enabled = 0;
        return 0;
    }
    ArchiveEntry entry;
    if (find_archive_entry(source, name, entry) != ArchiveStatus::FOUND) return 0;
    std::vector<uint8_t> packed(static_cast<size_t>(entry.packed_size));
    if (!source.read_at(entry.data_start, packed.data(), packed.size())) return 0;
    archive.close();

    // A damaged stream still gives a (then empty) file, as the lookup promises one.
    std::vector<uint8_t> data;
    unpack_archive_entry(packed.data(), packed.size(), data);
    packed = std::vector<uint8_t>();

    std::string path = extract_path_for(entry);
    if (path.empty() || path.size() >= ARCHIVE_PATH_SIZE) return 0;
    // The folder is ours alone, so a file of that name is an earlier extraction.
    platform::delete_unheld(path.c_str());
    platform::FileHandle extracted = platform::create_new(path.c_str());
    if (!extracted.is_open()) return 0;
    if (!platform::write_all(extracted, data.data(), data.size())) {
        // A short write must not pass for the entry: leave nothing behind.
        extracted.close();
        platform::delete_unheld(path.c_str());
        return 0;
    }
    record.extracted_path = path;
    copy_out(out, path);
    return 1;
}

int resolve_packed_name(const char* name, char* out) {
    // The installed data folder comes last: a program's own files and archive win.
    return resolve_packed_name(packed_archive_records().records[0], name, out) || resolve_data_file(name, out);
}

void close_packed_archives() {
    for (PackedArchive& record : packed_archive_records().records) {
        delete_extracted(record);
        record = PackedArchive{};
    }
    packed_archive_records().extract_folder.remove();
    data_folder_state() = DataFolderState{};
}

}  // namespace runtime
