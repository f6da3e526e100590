// Signals end the converter at once in every state, with 128 + the signal as its status,
// and leave no temporary file and no dialog behind.
#include "app/interruption.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "app/output_writer.h"
#include "converter_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using converter_test::converter_path;
using converter_test::StartedProgram;

bool wait_until(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Whether the process has a file open in the folder (its outputs while it writes them).
bool writing_into(pid_t pid, const std::string& folder) {
    std::error_code error;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end; !error && it != end; it.increment(error)) {
        const std::string target = fs::read_symlink(it->path(), error).string();
        if (!error && target.rfind(folder + "/", 0) == 0) return true;
    }
    return false;
}

std::string classic_map(int side) {
    std::string map = "<?xml version=\"1.0\"?>\n<map version=\"1.0\" orientation=\"orthogonal\" width=\"" + std::to_string(side) +
                      "\" height=\"" + std::to_string(side) + "\" tilewidth=\"8\" tileheight=\"8\">\n <tileset firstgid=\"1\"/>\n <layer>\n  <data>\n";
    for (int i = 0; i < side * side; ++i) map += "   <tile gid=\"7\"/>\n";
    return map + "  </data>\n </layer>\n</map>\n";
}

// Caught with its outputs open (stopped there, so the moment cannot pass), then signalled.
TEST(Interruption, ASignalDuringAConversionLeavesNothingBehind) {
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("big.tmx"), classic_map(1000)));
    fs::create_directory(dir.file("out"));
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            StartedProgram converter(converter_path(), {"-o", "out", "big.tmx"}, dir.path().string());
            ASSERT_TRUE(wait_until([&] { return writing_into(converter.pid(), dir.file("out")); }));
            ::kill(converter.pid(), SIGSTOP);
            caught = writing_into(converter.pid(), dir.file("out"));
            ::kill(converter.pid(), signal_number);
            ::kill(converter.pid(), SIGCONT);
            const converter_test::ProcessRun run = converter.wait();
            if (!caught) continue;  // it had finished its outputs already: try again
            EXPECT_EQ(run.status, 128 + signal_number);
            EXPECT_TRUE(fs::is_empty(dir.file("out")));
        }
        EXPECT_TRUE(caught);
    }
}

// Named temporaries (where the file system has no anonymous ones) are removed too.
TEST(Interruption, NamedTemporariesAreRemoved) {
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("a.txt"), "earlier"));
    const auto interrupted_writer = [&] {
        app::install_interruption_handlers();
        app::OutputWriter writer(app::OutputWriter::Temporaries::named);
        std::string reason;
        if (!writer.begin(dir.file("a.txt"), dir.file("a.pyxm"), reason)) _exit(1);
        writer.add("5");
        ::raise(SIGTERM);
        _exit(2);
    };
    EXPECT_EXIT(interrupted_writer(), ::testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_EQ(test_support::read_file(dir.file("a.txt")), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The desktop flow: while the dialog program runs (it is ended too), in the built-in
// file browser, and on the report screen.
TEST(Interruption, TheDesktopFlowEndsOnASignalInEveryState) {
    test_support::TempDir dir;
    ASSERT_TRUE(test_support::write_file(dir.file("m.tmx"), classic_map(2)));
    const std::string waiting_dialog = dir.file("waiting.sh"), answering_dialog = dir.file("answering.sh");
    // The runtime makes the program's folder current, so the dialog goes to ours first;
    // it gives up by itself after 30 s, should the converter leave it behind.
    ASSERT_TRUE(test_support::write_file(waiting_dialog,
                                         "#!/bin/sh\ncd '" + dir.path().string() + "' || exit 2\n"
                                         "trap 'echo ended > ended.txt; exit 1' INT TERM HUP\necho up > up.txt\n"
                                         "i=0; while [ $i -lt 600 ]; do sleep 0.05; i=$((i + 1)); done\n"));
    ASSERT_TRUE(test_support::write_file(answering_dialog, "#!/bin/sh\necho '" + dir.file("m.tmx") + "'\n"));
    fs::permissions(waiting_dialog, fs::perms::owner_all);
    fs::permissions(answering_dialog, fs::perms::owner_all);
    struct State {
        const char* dialog;
        std::string shown_when;  // a file that appears once the state is reached
        int signal_number;
    };
    const State states[] = {{waiting_dialog.c_str(), dir.file("up.txt"), SIGTERM},
                            {"builtin", "", SIGINT},
                            {answering_dialog.c_str(), dir.file("m.pyxm"), SIGHUP}};
    for (const State& state : states) {
        SCOPED_TRACE(state.dialog);
        StartedProgram converter(converter_path(), {}, dir.path().string(),
                                 {std::string("RUNTIME_FILE_DIALOG=") + state.dialog, "SDL_VIDEODRIVER=offscreen"});
        if (state.shown_when.empty()) {
            ASSERT_TRUE(wait_until([&] { return converter.out_so_far().find("Init OK") != std::string::npos; }));
        } else {
            ASSERT_TRUE(wait_until([&] { return fs::exists(state.shown_when); }));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::kill(converter.pid(), state.signal_number);
        const converter_test::ProcessRun run = converter.wait(30);
        EXPECT_EQ(run.status, 128 + state.signal_number);
    }
    EXPECT_TRUE(wait_until([&] { return fs::exists(dir.file("ended.txt")); })) << "the dialog program still runs";
    EXPECT_EQ(test_support::read_file(dir.file("m.txt")), "<?xml version=\"1.0\"?>\r\n<1.0>\r\n2\r\n2\r\n8\r\n8\r\n<1>\r\n1\r\n<data>\r\n7\r\n7\r\n7\r\n7\r\n</data>\r\n</map>\r\n");
}

}  // namespace
