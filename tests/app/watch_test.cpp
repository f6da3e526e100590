// Watch mode on real files: saves by rename (as editors save) and in place, a refusal
// that leaves the earlier pair, and the end on a signal. Every wait is on the program's
// own output lines, with a deadline.
#include "app/watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using test_support::read_file;
using test_support::write_file;

std::string data(const std::string& name) { return converter_test::test_data_folder() + "/" + name; }

// Waits until the condition holds; false after 60 seconds.
bool wait_until(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// An editor's save: the whole file written under another name, then renamed over the map.
void save_by_rename(const std::string& content, const std::string& map) {
    ASSERT_TRUE(write_file(map + ".saving~", content));
    fs::rename(map + ".saving~", map);
}

TEST(WatchMode, ConvertsEverySaveKeepsThePairOnARefusalAndEndsOnASignal) {
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        test_support::TempDir dir;
        fs::create_directories(dir.path() / "maps");
        fs::create_directories(dir.path() / "single");
        fs::copy_file(data("one_layer/map.tmx"), dir.file("maps/a.tmx"));
        ASSERT_TRUE(write_file(dir.file("maps/notes.txt"), "not a map\n"));
        const std::string single = dir.file("single/b.tmx");
        converter_test::StartedProgram watcher(converter_path(), {dir.file("maps"), "--watch", single});
        const auto lines_for = [&](const std::string& map) {
            return count_of(watcher.out_so_far(), map + " -> ");
        };
        ASSERT_TRUE(wait_until([&] {
            return watcher.out_so_far().find("Watching 2 folders") != std::string::npos;
        })) << watcher.err_so_far();
        EXPECT_EQ(lines_for(dir.file("maps/a.tmx")), 1u);  // converted once at the start
        EXPECT_EQ(read_file(dir.file("maps/a.txt")), read_file(data("one_layer/expected.txt")));

        save_by_rename(read_file(data("two_layers/map.tmx")), dir.file("maps/a.tmx"));
        ASSERT_TRUE(wait_until([&] { return lines_for(dir.file("maps/a.tmx")) == 2; }))
            << watcher.err_so_far();
        EXPECT_EQ(read_file(dir.file("maps/a.pyxm")), read_file(data("two_layers/expected.pyxm")));

        // A named map that appears later, written in place.
        ASSERT_TRUE(write_file(single, read_file(data("gid_above_65535/map.tmx"))));
        ASSERT_TRUE(wait_until([&] { return lines_for(single) == 1; })) << watcher.err_so_far();
        EXPECT_EQ(read_file(dir.file("single/b.pyxm")), read_file(data("gid_above_65535/expected.pyxm")));

        // A save the converter refuses leaves the earlier pair whole.
        save_by_rename("<?xml version=\"1.0\"?>\n<map>\n", dir.file("maps/a.tmx"));
        ASSERT_TRUE(
            wait_until([&] { return watcher.err_so_far().find("Cannot convert") != std::string::npos; }));
        EXPECT_EQ(read_file(dir.file("maps/a.txt")), read_file(data("two_layers/expected.txt")));
        EXPECT_EQ(read_file(dir.file("maps/a.pyxm")), read_file(data("two_layers/expected.pyxm")));

        ASSERT_EQ(::kill(watcher.pid(), signal_number), 0);
        converter_test::ProcessRun run = watcher.wait(60);
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.status, 128 + signal_number);
        EXPECT_EQ(count_of(run.out, " -> "), 3u) << run.out;  // nothing for notes.txt or the outputs
        // Nothing left behind but the maps, the notes and the outputs.
        size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            files += entry.is_regular_file();
        EXPECT_EQ(files, 7u);
    }
}

TEST(WatchMode, MapsOfAFolderAreKnownByTheirExtension) {
    for (const char* name : {"a.tmx", "b.tmj", "c.json"}) EXPECT_TRUE(app::has_map_extension(name)) << name;
    for (const char* name : {"a.txt", "a.pyxm", "a.tmx.saving~", ".a.tmx.swp", "tmx"})
        EXPECT_FALSE(app::has_map_extension(name)) << name;
}

TEST(WatchMode, AFolderThatCannotBeWatchedIsAUsageError) {
    test_support::TempDir dir;
    converter_test::ProcessRun run =
        converter_test::run_program(converter_path(), {"--watch", dir.file("missing/a.tmx")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot watch " + dir.file("missing/a.tmx")), std::string::npos) << run.err;
}

}  // namespace
