// Directory utilities on the POSIX layer; names reach the system with "/" only. A file
// this program holds on a channel, or another program writes, reads as missing.
#include "runtime/files/directory.h"

#include <vector>

#include "runtime/platform/files.h"

namespace runtime {

namespace {

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool chars_match(char p, char n) { return p == n || lower_ascii(p) == lower_ascii(n); }

}  // namespace

DynString current_directory() {
    std::string folder = platform::current_folder();
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (folder.empty() || folder.back() != '/') folder += '/';
    return DynString(folder.c_str());
}

double set_current_directory(const DynString& path) {
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(path.text_of(), system_name)) return 0;
    return platform::change_folder(system_name) ? 1 : 0;
}

double wildcard_match(const char* pattern, const char* name) {
    const char* p = pattern ? pattern : "";
    const char* n = name ? name : "";
    const char* star_pattern = nullptr;  // the pattern part after the last "*" seen
    const char* star_name = nullptr;     // where that "*" 's run currently ends in the name
    while (*n) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return 1;
            star_pattern = p;
            star_name = n;
            continue;
        }
        if (*p && (*p == '?' ? *n != '.' : chars_match(*p, *n))) {
            ++p;
            ++n;
            continue;
        }
        if (!star_pattern) return 0;
        p = star_pattern;
        n = ++star_name;
    }
    while (*p == '*') ++p;
    return *p ? 0 : 1;
}

double list_directory(const DynString& pattern, DynArray<DynString>& names) {
    std::vector<platform::FolderEntry> entries;
    platform::list_folder(".", entries);
    std::vector<const std::string*> folders, files;
    for (const platform::FolderEntry& e : entries) {
        if (e.is_directory)
            folders.push_back(&e.name);
        else if (wildcard_match(pattern.text_of(), e.name.c_str()))
            files.push_back(&e.name);
    }
    dimension(names, static_cast<double>(folders.size() + files.size()));
    double i = 0;
    for (const std::string* s : folders) element(names, i++) = s->c_str();
    for (const std::string* s : files) element(names, i++) = s->c_str();
    return static_cast<double>(files.size()) + 65536.0 * static_cast<double>(folders.size());
}

double file_exists(const DynString& name) {
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(name.text_of(), system_name)) return 0;
    return platform::open_for_reading(system_name).is_open() ? 1 : 0;
}

double file_size(const DynString& name) {
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(name.text_of(), system_name)) return 0;
    platform::FileHandle file = platform::open_for_reading(system_name);
    int64_t n = file.is_open() ? platform::file_length(file) : 0;
    return n > 0 ? static_cast<double>(n) : 0;
}

void delete_file(const DynString& name) {
    char system_name[platform::NAME_BUFFER_SIZE];
    if (platform::to_system_name(name.text_of(), system_name)) platform::delete_unheld(system_name);
}

void copy_file(const DynString& source, const DynString& destination) {
    char from_name[platform::NAME_BUFFER_SIZE];
    char to_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(source.text_of(), from_name) ||
        !platform::to_system_name(destination.text_of(), to_name))
        return;
    platform::FileHandle from = platform::open_for_reading(from_name);
    if (!from.is_open()) return;
    platform::FileHandle to = platform::create_exclusive(to_name);
    if (!to.is_open()) return;
    char block[COPY_BLOCK_SIZE];
    int64_t length = platform::file_length(from);
    uint64_t offset = 0;
    bool ok = length >= 0;
    while (ok && offset < static_cast<uint64_t>(length)) {
        uint64_t left = static_cast<uint64_t>(length) - offset;
        size_t want = left < sizeof block ? static_cast<size_t>(left) : sizeof block;
        ok = platform::read_at(from, block, want, offset) == static_cast<int64_t>(want) &&
             platform::write_all(to, block, want);
        offset += want;
    }
    to.close();
    from.close();
    // No partial copy may remain.
    if (!ok) platform::delete_unheld(to_name);
}

double to_forward_slashes(DynString& text) {
    for (int32_t i = 0; i < text.length; ++i)
        if (text.buffer[i] == '\\') text.buffer[i] = '/';
    return text.length;
}

}  // namespace runtime
