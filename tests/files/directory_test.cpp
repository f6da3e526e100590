// Directory and whole-file commands on real folders.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <filesystem>

#include "files_fixture.h"
#include "runtime/files/files.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;

namespace {

// Runs in the fixture's folder and goes back afterwards.
class Directories : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        FilesTest::TearDown();
    }
    std::filesystem::path old_;
};

}  // namespace

TEST(WildcardMatch, FollowsThePatternRules) {
    struct Case {
        const char* pattern;
        const char* name;
        double result;
    } cases[] = {
        {"*.txt", "readme.TXT", 1}, {"a?c", "abc", 1},    {"a?c", "a.c", 0},     {"*", "anything.at.all", 1},
        {"?", ".", 0},              {"a*", "a", 1},       {"", "", 1},           {"", "a", 0},
        {"a", "", 0},               {"**b", "aab", 1},    {"*b*", "abc", 1},     {"*.png", "x.png.bak", 0},
        {"*a*b", "xaxxb", 1},       {"*ab", "aab", 1},    {"A", "a", 1},         {"\xC4", "\xC4", 1},
        {"*.*", "noext", 0},        {"*.*", "a.b", 1},    {"??", "abc", 0},      {"*?", "", 0},
        {"a*c*e", "abcde", 1},      {"a*c*e", "abcd", 0}, {"*", "", 1},          {"a**", "a", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runtime::wildcard_match(c.pattern, c.name), c.result) << c.pattern << " / " << c.name;
}

TEST_F(Directories, CurrentDirectoryEndsInASlash) {
    DynString here = runtime::current_directory();
    std::string expected = std::filesystem::current_path().string() + "/";
    EXPECT_STREQ(here.text_of(), expected.c_str());
    ASSERT_EQ(runtime::set_current_directory(DynString("/")), 1);
    EXPECT_STREQ(runtime::current_directory().text_of(), "/");
    EXPECT_EQ(runtime::set_current_directory(DynString((dir.path().string() + "/nope").c_str())), 0);
    std::filesystem::create_directory(dir.path() / "sub");
    EXPECT_EQ(runtime::set_current_directory(DynString((dir.path().string() + "\\sub").c_str())), 1);
    EXPECT_STREQ(runtime::current_directory().text_of(), (dir.path().string() + "/sub/").c_str());
}

TEST_F(Directories, ListingPutsFoldersFirstAndFiltersFiles) {
    std::filesystem::create_directory(dir.path() / "one");
    std::filesystem::create_directory(dir.path() / "two");
    for (const char* n : {"a.png", "b.PNG", "c.txt"}) make_file(path(n), "x");
    runtime::DynArray<DynString> names;
    double result = runtime::list_directory(DynString("*.png"), names);
    EXPECT_EQ(result, 2 + 65536 * 4);
    ASSERT_EQ(names.size0, 6);
    std::vector<std::string> folders, files;
    for (int i = 0; i < 4; ++i) folders.emplace_back(runtime::element(names, i).text_of());
    for (int i = 4; i < 6; ++i) files.emplace_back(runtime::element(names, i).text_of());
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(folders, (std::vector<std::string>{".", "..", "one", "two"}));
    EXPECT_EQ(files, (std::vector<std::string>{"a.png", "b.PNG"}));
}

TEST_F(Directories, ExistsAndSizeOfFiles) {
    make_file(path("five.bin"), "12345");
    make_file(path("empty.bin"), "");
    EXPECT_EQ(runtime::file_exists(DynString("five.bin")), 1);
    EXPECT_EQ(runtime::file_size(DynString("five.bin")), 5);
    EXPECT_EQ(runtime::file_exists(DynString("missing.bin")), 0);
    EXPECT_EQ(runtime::file_size(DynString("missing.bin")), 0);
    EXPECT_EQ(runtime::file_size(DynString("empty.bin")), 0);
    EXPECT_EQ(runtime::file_exists(DynString(".")), 0);  // a folder is no file
    EXPECT_EQ(runtime::file_exists(DynString(std::string(1500, 'a').c_str())), 0);
}

TEST_F(Directories, DeleteRemovesFilesAndIgnoresMissingOnes) {
    make_file(path("gone.txt"), "x");
    runtime::delete_file(DynString("gone.txt"));
    EXPECT_FALSE(std::filesystem::exists(path("gone.txt")));
    runtime::delete_file(DynString("never.txt"));
}

TEST_F(Directories, CopyFileCopiesInBlocksAndLeavesTheDestinationAloneWithoutSource) {
    std::string big;
    for (int i = 0; i < 4096 * 3 + 17; ++i) big += static_cast<char>(i * 7);
    make_file(path("src.bin"), big);
    make_file(path("dst.bin"), "old destination");
    runtime::copy_file(DynString("src.bin"), DynString("dst.bin"));
    EXPECT_EQ(test_support::read_file(path("dst.bin")), big);
    runtime::copy_file(DynString("missing.bin"), DynString("dst.bin"));
    EXPECT_EQ(test_support::read_file(path("dst.bin")), big);
    make_file(path("empty.bin"), "");
    runtime::copy_file(DynString("empty.bin"), DynString("dst.bin"));
    EXPECT_TRUE(std::filesystem::exists(path("dst.bin")));
    EXPECT_EQ(test_support::read_file(path("dst.bin")), "");
}

TEST_F(Directories, CopyOntoItselfChangesNothing) {
    make_file(path("self.txt"), "keep me");
    runtime::copy_file(DynString("self.txt"), DynString("self.txt"));
    EXPECT_EQ(test_support::read_file(path("self.txt")), "keep me");
}

TEST_F(Directories, FailedCopyLeavesNoPartialDestination) {
    make_file(path("src.bin"), std::string(4096 * 4, 'd'));
    make_file(path("dst.bin"), "old");
    // In a child whose files may not grow past 5000 bytes the third block cannot be written.
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{5000, 5000};
        setrlimit(RLIMIT_FSIZE, &limit);
        runtime::copy_file(DynString("src.bin"), DynString("dst.bin"));
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(std::filesystem::exists(path("dst.bin")));
    EXPECT_EQ(test_support::read_file(path("src.bin")).size(), 4096u * 4);
}

TEST(ForwardSlashes, ReplacesInPlaceAndGivesTheLength) {
    DynString s("a\\b\\c.txt");
    EXPECT_EQ(runtime::to_forward_slashes(s), 9);
    EXPECT_STREQ(s.text_of(), "a/b/c.txt");
    DynString empty;
    EXPECT_EQ(runtime::to_forward_slashes(empty), 0);
}
