// Packed-archive lookup on archives built in the test (standalone and appended to a
// file) and on hand-damaged ones: damage gives "missing", never a crash or a huge
// allocation.
#include "runtime/files/packed_archive.h"

#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "files_fixture.h"
#include "runtime/files/archive_format.h"
#include "runtime/files/files.h"
#include "tools/rtpack/archive_writer.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

std::vector<uint8_t> bytes_of(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
std::string text_of(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

std::string sample(size_t n, unsigned seed) {
    std::string s;
    std::mt19937 rng(seed);
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(rng() % 7 == 0 ? rng() : 'a' + i % 13);
    return s;
}

std::vector<uint8_t> archive_of(const std::vector<std::pair<std::string, std::string>>& files, bool from_end = false,
                                uint64_t prefix = 0) {
    std::vector<packer::PackInput> inputs;
    for (const auto& [name, content] : files) inputs.push_back({name, bytes_of(content)});
    std::string error;
    std::vector<uint8_t> out = packer::build_archive(inputs, from_end, prefix, error);
    EXPECT_FALSE(out.empty()) << error;
    return out;
}

class PackedArchives : public FilesTest {
protected:
    void use_archive(const std::vector<uint8_t>& bytes) {
        make_file(path("game.pak"), text_of(bytes));
        runtime::set_archive_paths(DynString(path("game.pak").c_str()), DynString(""));
    }
    // The lookup's result and the bytes of the file it names.
    int lookup(const std::string& name, std::string& content) {
        char out[runtime::ARCHIVE_PATH_SIZE];
        int r = runtime::resolve_packed_name(name.c_str(), out);
        resolved = out;
        content = r ? read_file(resolved) : "";
        return r;
    }
    std::string resolved;
};

}  // namespace

TEST_F(PackedArchives, EntryIsFoundByBareNameInAnyCaseWithIdenticalBytes) {
    std::string a = sample(50000, 1), b = sample(10, 2);
    use_archive(archive_of({{"Alpha.DAT", a}, {"b.txt", b}, {"empty.bin", ""}}));
    std::string content;
    ASSERT_EQ(lookup("some/folder\\alpha.dat", content), 1);
    EXPECT_EQ(content, a);
    ASSERT_EQ(lookup("B.TXT", content), 1);
    EXPECT_EQ(content, b);
    ASSERT_EQ(lookup("empty.bin", content), 1);
    EXPECT_EQ(content, "");
}

// Entries are unpacked into a folder of this process's own (mode 0700) inside the
// temporary folder, never onto a predictable name there that someone else could own.
TEST_F(PackedArchives, ExtractsIntoAPrivateFolderUnderTheDerivedName) {
    std::vector<uint8_t> archive = archive_of({{"one.txt", "first entry"}, {"two.txt", sample(3000, 3)}});
    use_archive(archive);
    runtime::MemoryArchiveSource source(archive.data(), archive.size());
    runtime::ArchiveEntry entry;
    ASSERT_EQ(runtime::find_archive_entry(source, "two.txt", entry), runtime::ArchiveStatus::FOUND);
    std::string name = "qvk";
    name += static_cast<char>('A' + (entry.data_offset & 0xFF) % 26);
    name += static_cast<char>('A' + (entry.packed_size & 0xFF) % 26);
    // Planted where the name alone would put it.
    make_file(path(name), "planted");
    make_file(path("victim.txt"), "victim");

    auto extract_in_child = [&] {
        pid_t pid = fork();
        if (pid == 0) {
            std::string content;
            const bool ok = lookup("two.txt", content) == 1 && content == sample(3000, 3);
            runtime::close_packed_archives();  // as its end of program does
            _exit(ok ? 0 : 1);
        }
        return pid;
    };
    pid_t other = extract_in_child();  // a second program unpacking the same entry
    std::string content;
    ASSERT_EQ(lookup("two.txt", content), 1);
    EXPECT_EQ(content, sample(3000, 3));
    int status = -1;
    waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::filesystem::path folder = std::filesystem::path(resolved).parent_path();
    EXPECT_EQ(std::filesystem::path(resolved).filename(), name);
    EXPECT_EQ(folder.parent_path(), dir.path());
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(read_file(path(name)), "planted");
    EXPECT_EQ(read_file(path("victim.txt")), "victim");
    // The child's folder went with it; ours goes at the end of the program.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);  // + archive
    runtime::close_packed_archives();
    EXPECT_FALSE(std::filesystem::exists(folder));

    // No private folder can be made: the lookup fails instead of naming a missing file.
    use_archive(archive);
    setenv("TMPDIR", path("victim.txt").c_str(), 1);
    EXPECT_EQ(lookup("two.txt", content), 0);
    EXPECT_EQ(read_file(path("victim.txt")), "victim");
}

TEST_F(PackedArchives, LooseFileWinsAndIsReturnedUnchanged) {
    make_file(path("loose.txt"), "loose bytes");
    use_archive(archive_of({{"loose.txt", "packed bytes"}}));
    std::string content;
    ASSERT_EQ(lookup(path("loose.txt"), content), 1);
    EXPECT_EQ(resolved, path("loose.txt"));
    EXPECT_EQ(content, "loose bytes");
}

TEST_F(PackedArchives, NextLookupDeletesThePreviousExtractedFile) {
    use_archive(archive_of({{"a.txt", "aaaa"}, {"bb.txt", "bbbbbbbb"}}));
    std::string content;
    ASSERT_EQ(lookup("a.txt", content), 1);
    std::string first = resolved;
    ASSERT_TRUE(std::filesystem::exists(first));
    ASSERT_EQ(lookup("bb.txt", content), 1);
    EXPECT_NE(resolved, first);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(lookup("nothing.txt", content), 0);  // a miss clears too, and keeps the record on
    EXPECT_FALSE(std::filesystem::exists(resolved.empty() ? first : resolved));
    EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 1);
    ASSERT_EQ(lookup("a.txt", content), 1);
    runtime::set_archive_paths(DynString(""), DynString(""));
    EXPECT_FALSE(std::filesystem::exists(resolved));
    ASSERT_EQ(lookup("a.txt", content), 0);
    EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 0);  // empty path disables
}

TEST_F(PackedArchives, AppendedArchiveCountsFromTheEnd) {
    std::string host = sample(7777, 4);
    std::vector<uint8_t> archive = archive_of({{"inside.txt", sample(900, 5)}}, true, host.size());
    std::string image = host + text_of(archive);
    make_file(path("program.bin"), image);
    runtime::set_archive_paths(DynString(path("program.bin").c_str()), DynString(path("program.bin").c_str()));
    std::string content;
    ASSERT_EQ(lookup("INSIDE.TXT", content), 1);
    EXPECT_EQ(content, sample(900, 5));
    // The second record resolves the same way but is only used when asked directly.
    char out[runtime::ARCHIVE_PATH_SIZE];
    EXPECT_EQ(runtime::resolve_packed_name(runtime::packed_archive_records().records[1], "inside.txt", out), 1);
    runtime::close_packed_archives();
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(PackedArchives, BadTrailerDisablesTheRecordForGood) {
    std::vector<uint8_t> archive = archive_of({{"x.txt", "x"}});
    std::vector<uint8_t> broken = archive;
    broken[broken.size() - 7] = 'Q';
    use_archive(broken);
    std::string content;
    EXPECT_EQ(lookup("x.txt", content), 0);
    EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 0);
    make_file(path("game.pak"), text_of(archive));  // repaired, but the record stays off
    EXPECT_EQ(lookup("x.txt", content), 0);
    make_file(path("loose.txt"), "still found");
    EXPECT_EQ(lookup(path("loose.txt"), content), 1);
    runtime::set_archive_paths(DynString(path("game.pak").c_str()), DynString(""));
    EXPECT_EQ(lookup("x.txt", content), 1);
}

TEST_F(PackedArchives, FolderOrTinyFileAsArchiveDisablesAtFirstLookup) {
    runtime::set_archive_paths(DynString(dir.path().c_str()), DynString(""));
    std::string content;
    EXPECT_EQ(lookup("x.txt", content), 0);
    EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 0);
    make_file(path("tiny.pak"), "qvK");
    runtime::set_archive_paths(DynString(path("tiny.pak").c_str()), DynString(""));
    EXPECT_EQ(lookup("x.txt", content), 0);
    EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 0);
}

TEST_F(PackedArchives, UnsetRecordsOnlyFindLooseFiles) {
    std::string content;
    EXPECT_EQ(lookup("", content), 0);
    EXPECT_EQ(lookup("nothing-here.txt", content), 0);
    EXPECT_EQ(lookup(std::string(2000, 'n'), content), 0);
}

namespace {

void put_i32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

}  // namespace

TEST_F(PackedArchives, DamagedDirectoriesGiveMissingAndKeepTheRecord) {
    // Hand-made: one entry "e.txt" whose block sits at 0, directory behind it.
    std::vector<uint8_t> good = archive_of({{"e.txt", "entry"}});
    size_t dir_at = good.size() - 7 - 1 - (1 + 5 + 8);
    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    } damages[] = {
        {"directory beyond the end", [](auto& b) { put_i32(b, b.size() - 4, 0x7FFFFFF0); }},
        {"directory before the start", [](auto& b) { put_i32(b, b.size() - 4, -0x7FFFFFF0); }},
        {"name runs past the end", [&](auto& b) { put_i32(b, b.size() - 4, static_cast<int32_t>(b.size() - 8)); b[b.size() - 8] = 200; }},
        {"data offset outside", [&](auto& b) { put_i32(b, dir_at + 6, 0x10000000); }},
        {"negative data offset", [&](auto& b) { put_i32(b, dir_at + 6, -5); }},
        {"packed size beyond the file", [&](auto& b) { put_i32(b, dir_at + 10, 0x7FFFFFFF); }},
        {"packed size below 4", [&](auto& b) { put_i32(b, dir_at + 10, 3); }},
        // The only entry is not the one asked for, so the walk runs into the trailer.
        {"no closing entry", [&](auto& b) { b[dir_at + 1] = 'x'; b.resize(b.size() - 8); b.insert(b.end(), {'q', 'v', 'K', 0, 0, 0, 0}); put_i32(b, b.size() - 4, static_cast<int32_t>(dir_at)); }},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bytes = good;
        d.apply(bytes);
        use_archive(bytes);
        std::string content;
        EXPECT_EQ(lookup("e.txt", content), 0) << d.what;
        EXPECT_EQ(runtime::packed_archive_records().records[0].enabled, 1) << d.what;
    }
}

TEST_F(PackedArchives, DamagedStreamsGiveAnEmptyFile) {
    std::vector<uint8_t> good = archive_of({{"e.txt", sample(4000, 9)}});
    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    } damages[] = {
        {"unpacked size of 4 GiB", [](auto& b) { put_i32(b, 0, -1); }},
        {"unpacked size far beyond the stream", [](auto& b) { put_i32(b, 0, 1 << 29); }},
        {"unpacked size too small", [](auto& b) { put_i32(b, 0, 100); }},
        {"unpacked size too large", [](auto& b) { put_i32(b, 0, 4100); }},
        {"garbage stream", [](auto& b) { for (size_t i = 4; i < 60; ++i) b[i] = static_cast<uint8_t>(i * 37); }},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bytes = good;
        d.apply(bytes);
        use_archive(bytes);
        std::string content = "unset";
        EXPECT_EQ(lookup("e.txt", content), 1) << d.what;
        EXPECT_EQ(content, "") << d.what;
    }
}

TEST(ArchiveParse, MutatedArchivesNeverReadOutside) {
    std::vector<packer::PackInput> inputs = {{"one", bytes_of(sample(700, 1))}, {"two.bin", bytes_of(sample(90, 2))}};
    std::string error;
    std::vector<uint8_t> good = packer::build_archive(inputs, false, 0, error);
    std::mt19937 rng(77);
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> bytes = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
        if (rng() % 8 == 0) bytes.resize(rng() % bytes.size());
        runtime::MemoryArchiveSource source(bytes.data(), bytes.size());
        runtime::ArchiveEntry entry;
        if (runtime::find_archive_entry(source, rng() % 2 ? "one" : "TWO.bin", entry) != runtime::ArchiveStatus::FOUND)
            continue;
        ++found;
        ASSERT_LE(entry.data_start + static_cast<uint64_t>(entry.packed_size), bytes.size());
        std::vector<uint8_t> out;
        runtime::unpack_archive_entry(bytes.data() + entry.data_start, static_cast<size_t>(entry.packed_size), out);
        ASSERT_LE(out.size(), 700u * 300);
    }
    EXPECT_GT(found, 1000);
}

TEST_F(PackedArchives, IniAndLineStoreReadThroughTheArchive) {
    use_archive(archive_of({{"settings.ini", "[Video]\r\nwidth=800\r\n"}, {"scores.txt", "first\r\nsecond\r\n"}}));
    runtime::ini_open(DynString("data/settings.ini"));
    EXPECT_STREQ(runtime::ini_get(DynString("video"), DynString("width")).text_of(), "800");
    DynString line;
    runtime::line_file_read_text(DynString("scores.txt"), 1, line);
    EXPECT_STREQ(line.text_of(), "second");
}
