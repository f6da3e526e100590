// rtpack: the command-line packer for the runtime's packed archives (create, append
// to another file, list, extract). Errors leave no partial output behind.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/files/archive_format.h"
#include "tools/rtpack/archive_writer.h"

namespace {

constexpr const char* USAGE =
    "usage: rtpack create ARCHIVE FILE... [--from-end]\n"
    "       rtpack append TARGET FILE...\n"
    "       rtpack list ARCHIVE\n"
    "       rtpack extract ARCHIVE [-C FOLDER] [NAME...]\n"
    "       rtpack --help\n"
    "\n"
    "create   packs the files (LZO1X, best compression) into a new ARCHIVE, stored under\n"
    "         their bare file names; --from-end counts every offset from the end of the\n"
    "         file, so the archive still works when later appended to another file\n"
    "append   appends such an archive to the end of TARGET (a program, a data file);\n"
    "         the runtime's lookup finds it from the end of that file\n"
    "list     prints each entry: packed size, unpacked size, name\n"
    "extract  writes the entries (all, or the NAMEs given; letter case ignored) into\n"
    "         FOLDER (default: the current folder)\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "rtpack: %s\n", message.c_str());
    return 1;
}

std::string bare(const std::string& path) { return std::string(runtime::bare_file_name(path)); }

bool read_whole(const std::string& path, std::vector<uint8_t>& out) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes the bytes to a temporary file beside `path` and renames it into place.
bool write_replacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temp = path + ".rtpack-tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool gather_inputs(const std::vector<std::string>& paths, std::vector<packer::PackInput>& inputs, std::string& error) {
    for (const std::string& p : paths) {
        packer::PackInput in;
        in.name = bare(p);
        if (!read_whole(p, in.bytes)) {
            error = "cannot read \"" + p + "\"";
            return false;
        }
        inputs.push_back(std::move(in));
    }
    if (inputs.empty()) {
        error = "no files to pack";
        return false;
    }
    return true;
}

// The archive file as an archive source, read on demand.
class FileSource : public runtime::ArchiveSource {
public:
    explicit FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        struct stat st {};
        if (file_ && fstat(fileno(file_), &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<uint64_t>(st.st_size);
        else if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    ~FileSource() override {
        if (file_) std::fclose(file_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool is_open() const { return file_ != nullptr; }
    uint64_t size() const override { return size_; }
    bool read_at(uint64_t offset, void* into, size_t n) override {
        if (!file_ || offset > size_ || n > size_ - offset) return false;
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
        return std::fread(into, 1, n, file_) == n;
    }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

bool collect_entries(FileSource& source, std::vector<runtime::ArchiveEntry>& entries, std::string& error) {
    runtime::ArchiveStatus status = runtime::walk_archive_directory(source, [&](const runtime::ArchiveEntry& e) {
        entries.push_back(e);
        return true;
    });
    if (status == runtime::ArchiveStatus::BAD_TRAILER) {
        error = "not an archive (no \"qvK\" trailer at the end)";
        return false;
    }
    if (status == runtime::ArchiveStatus::DAMAGED) {
        error = "damaged archive: the directory runs outside the file";
        return false;
    }
    return true;
}

bool unpack(FileSource& source, const runtime::ArchiveEntry& e, std::vector<uint8_t>& out, std::string& error) {
    std::vector<uint8_t> packed;
    if (e.data_inside) {
        packed.resize(static_cast<size_t>(e.packed_size));
        if (!source.read_at(e.data_start, packed.data(), packed.size())) packed.clear();
    }
    if (packed.empty() || !runtime::unpack_archive_entry(packed.data(), packed.size(), out)) {
        error = "damaged archive: entry \"" + e.name + "\" cannot be unpacked";
        return false;
    }
    return true;
}

int run_create(const std::vector<std::string>& args) {
    bool from_end = false;
    std::vector<std::string> names;  // the archive, then the files
    for (const std::string& a : args) {
        if (a == "--from-end")
            from_end = true;
        else
            names.push_back(a);
    }
    if (names.empty() || names[0].empty()) return fail("create needs an archive name\n" + std::string(USAGE));
    std::string archive_name = names[0];
    std::vector<std::string> files(names.begin() + 1, names.end());
    std::vector<packer::PackInput> inputs;
    std::string error;
    if (!gather_inputs(files, inputs, error)) return fail(error);
    std::vector<uint8_t> archive = packer::build_archive(inputs, from_end, 0, error);
    if (archive.empty()) return fail(error);
    if (!write_replacing(archive_name, archive)) return fail("cannot write \"" + archive_name + "\"");
    std::printf("%s: %zu files, %zu bytes\n", archive_name.c_str(), inputs.size(), archive.size());
    return 0;
}

int run_append(const std::vector<std::string>& args) {
    if (args.empty()) return fail("append needs a target file\n" + std::string(USAGE));
    const std::string& target = args[0];
    struct stat st {};
    if (stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return fail("cannot read \"" + target + "\"");
    std::vector<packer::PackInput> inputs;
    std::string error;
    if (!gather_inputs(std::vector<std::string>(args.begin() + 1, args.end()), inputs, error)) return fail(error);
    std::vector<uint8_t> archive = packer::build_archive(inputs, true, static_cast<uint64_t>(st.st_size), error);
    if (archive.empty()) return fail(error);
    std::FILE* out = std::fopen(target.c_str(), "ab");
    if (!out) return fail("cannot write \"" + target + "\"");
    bool ok = std::fwrite(archive.data(), 1, archive.size(), out) == archive.size();
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        // Give the target back its old length: no half archive may stay behind.
        if (truncate(target.c_str(), st.st_size) != 0)
            return fail("cannot write \"" + target + "\", and it could not be restored");
        return fail("cannot write \"" + target + "\"");
    }
    std::printf("%s: %zu files appended, %zu bytes\n", target.c_str(), inputs.size(), archive.size());
    return 0;
}

int run_list(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("list needs one archive\n" + std::string(USAGE));
    FileSource source(args[0]);
    if (!source.is_open()) return fail("cannot read \"" + args[0] + "\"");
    std::vector<runtime::ArchiveEntry> entries;
    std::string error;
    if (!collect_entries(source, entries, error)) return fail(error);
    for (const runtime::ArchiveEntry& e : entries) {
        uint8_t head[4] = {0, 0, 0, 0};
        bool inside = e.data_inside && source.read_at(e.data_start, head, 4);
        const unsigned long unpacked = static_cast<unsigned long>(head[0] | head[1] << 8 | head[2] << 16) |
                                       static_cast<unsigned long>(head[3]) << 24;
        if (inside)
            std::printf("%10d %10lu %s\n", e.packed_size, unpacked, e.name.c_str());
        else
            std::printf("%10d %10s %s (data outside the file)\n", e.packed_size, "?", e.name.c_str());
    }
    return 0;
}

bool name_wanted(const std::string& name, const std::vector<std::string>& wanted) {
    if (wanted.empty()) return true;
    for (const std::string& w : wanted) {
        if (w.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < w.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(w[i])) == std::tolower(static_cast<unsigned char>(name[i]));
        if (same) return true;
    }
    return false;
}

int run_extract(const std::vector<std::string>& args) {
    if (args.empty()) return fail("extract needs an archive\n" + std::string(USAGE));
    std::string folder = ".";
    std::vector<std::string> wanted;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-C" && i + 1 < args.size())
            folder = args[++i];
        else
            wanted.push_back(args[i]);
    }
    FileSource source(args[0]);
    if (!source.is_open()) return fail("cannot read \"" + args[0] + "\"");
    std::vector<runtime::ArchiveEntry> entries;
    std::string error;
    if (!collect_entries(source, entries, error)) return fail(error);
    std::vector<const runtime::ArchiveEntry*> chosen;
    for (const runtime::ArchiveEntry& e : entries) {
        if (!name_wanted(e.name, wanted)) continue;
        // Names come from the file: only bare names may become files.
        if (!packer::is_storable_name(e.name)) return fail("damaged archive: unsafe entry name \"" + e.name + "\"");
        chosen.push_back(&e);
    }
    for (const std::string& w : wanted) {
        bool found = false;
        for (const runtime::ArchiveEntry& e : entries) found = found || name_wanted(e.name, {w});
        if (!found) return fail("no entry named \"" + w + "\"");
    }
    // Every entry must unpack before the first file is written.
    std::vector<uint8_t> bytes;
    for (const runtime::ArchiveEntry* e : chosen)
        if (!unpack(source, *e, bytes, error)) return fail(error);
    for (const runtime::ArchiveEntry* e : chosen) {
        if (!unpack(source, *e, bytes, error)) return fail(error);
        std::string path = folder + "/" + e->name;
        if (!write_replacing(path, bytes)) return fail("cannot write \"" + path + "\"");
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(USAGE, stdout);
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "create") return run_create(args);
    if (command == "append") return run_append(args);
    if (command == "list") return run_list(args);
    if (command == "extract") return run_extract(args);
    std::fprintf(stderr, "rtpack: unknown command \"%s\"\n%s", command.c_str(), USAGE);
    return 2;
}
