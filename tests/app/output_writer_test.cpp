// The output writer: both outputs appear together or not at all.
#include "app/output_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

size_t files_in(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
    return n;
}

TEST(OutputWriter, EntriesGiveCrLfLinesAndWordsForEntriesWithoutBrackets) {
    test_support::TempDir dir;
    app::OutputWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.begin(dir.file("a.txt"), dir.file("a.pyxm"), reason)) << reason;
    for (const char* entry : {"<?xml?>", "3", "70000", "", "</map>"}) writer.add(entry);
    EXPECT_FALSE(fs::exists(dir.file("a.txt")));  // nothing in place before the commit
    ASSERT_TRUE(writer.commit(reason)) << reason;
    EXPECT_EQ(test_support::read_file(dir.file("a.txt")), "<?xml?>\r\n3\r\n70000\r\n\r\n</map>\r\n");
    EXPECT_EQ(test_support::read_file(dir.file("a.pyxm")), std::string("\x03\x00\x70\x11\x00\x00", 6));
    EXPECT_EQ(files_in(dir.path()), 2u);
}

TEST(OutputWriter, ADiscardedRunLeavesNothingAndKeepsEarlierOutputs) {
    using Temporaries = app::OutputWriter::Temporaries;
    // Anonymous temporaries have no name in the folder; named ones sit beside the outputs.
    for (auto [kind, files_while_writing] : {std::pair{Temporaries::anonymous_where_possible, 2u}, std::pair{Temporaries::named, 4u}}) {
        test_support::TempDir dir;
        ASSERT_TRUE(test_support::write_file(dir.file("a.txt"), "earlier text"));
        ASSERT_TRUE(test_support::write_file(dir.file("a.pyxm"), "earlier words"));
        {
            app::OutputWriter writer(kind);
            std::string reason;
            ASSERT_TRUE(writer.begin(dir.file("a.txt"), dir.file("a.pyxm"), reason));
            writer.add("1");
            EXPECT_EQ(files_in(dir.path()), files_while_writing);
        }  // destroyed without a commit
        EXPECT_EQ(files_in(dir.path()), 2u);
        EXPECT_EQ(test_support::read_file(dir.file("a.txt")), "earlier text");
        EXPECT_EQ(test_support::read_file(dir.file("a.pyxm")), "earlier words");
    }
}

TEST(OutputWriter, LargeOutputsPassThroughTheBuffers) {
    test_support::TempDir dir;
    app::OutputWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.begin(dir.file("b.txt"), dir.file("b.pyxm"), reason));
    for (int i = 0; i < 1000000; ++i) writer.add(std::to_string(i % 1000));
    ASSERT_TRUE(writer.commit(reason));
    std::string words = test_support::read_file(dir.file("b.pyxm"));
    ASSERT_EQ(words.size(), 2000000u);
    EXPECT_EQ(static_cast<unsigned char>(words[2 * 999]), 999 & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(words[2 * 999 + 1]), 999 >> 8);
}

TEST(OutputWriterFailures, AFolderThatCannotBeWrittenIsAClearFailure) {
    test_support::TempDir dir;
    app::OutputWriter writer;
    std::string reason;
    EXPECT_FALSE(writer.begin(dir.file("missing/a.txt"), dir.file("missing/a.pyxm"), reason));
    EXPECT_NE(reason.find("cannot write"), std::string::npos) << reason;
    EXPECT_FALSE(writer.commit(reason));
    EXPECT_EQ(files_in(dir.path()), 0u);
}

TEST(OutputWriterFailures, ASecondOutputThatCannotBeCreatedTakesTheFirstWithIt) {
    test_support::TempDir dir;
    app::OutputWriter writer;
    std::string reason;
    EXPECT_FALSE(writer.begin(dir.file("c.txt"), dir.file("no/c.pyxm"), reason));
    EXPECT_EQ(files_in(dir.path()), 0u);
}

// A write that fails half-way (here: the file size limit) is reported by the commit, and
// neither output nor temporary file stays behind. Runs in a child: it lowers a limit.
[[noreturn]] void write_beyond_the_size_limit(const test_support::TempDir& dir) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 100000;
    setrlimit(RLIMIT_FSIZE, &limit);
    app::OutputWriter writer;
    std::string reason;
    if (!writer.begin(dir.file("d.txt"), dir.file("d.pyxm"), reason)) _exit(2);
    for (int i = 0; i < 300000; ++i) writer.add("12345");
    bool committed = writer.commit(reason);
    bool clean = files_in(dir.path()) == 0;
    _exit(!committed && clean && reason.find("cannot write") != std::string::npos ? 0 : 1);
}

TEST(OutputWriterFailures, AFailedWriteIsReportedAndLeavesNothing) {
    test_support::TempDir dir;
    EXPECT_EXIT(write_beyond_the_size_limit(dir), ::testing::ExitedWithCode(0), "");
}

}  // namespace
