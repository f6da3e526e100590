// run_process with real child processes, and the library cache with real libraries.
#include "runtime/screen/os/os_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "runtime/core/lifecycle.h"
#include "support/temp_dir.h"

namespace runtime {
namespace {

TEST(RunProcess, WaitingGivesStartedAndTheExitCode) {
    double exit_code = -1;
    const double started = run_process(DynString("/bin/sh -c \"exit 3\""), 1, 1, exit_code);
    EXPECT_EQ(started, 1.0);
    EXPECT_EQ(exit_code, 3.0);
}

TEST(RunProcess, NotWaitingLeavesTheExitCodeZero) {
    double exit_code = -1;
    const double started = run_process(DynString("/bin/sh -c \"exit 3\""), 0, 1, exit_code);
    EXPECT_EQ(started, 1.0);
    EXPECT_EQ(exit_code, 0.0);
}

TEST(RunProcess, WaitingReallyWaitsForTheEnd) {
    test_support::TempDir dir;
    const std::string mark = dir.file("mark.txt");
    double exit_code = -1;
    const DynString command(("/bin/sh -c \"sleep 0.2; echo done > '" + mark + "'\"").c_str());
    ASSERT_EQ(run_process(command, 1, 0, exit_code), 1.0);
    EXPECT_EQ(exit_code, 0.0);
    EXPECT_EQ(test_support::read_file(mark), "done\n");
}

TEST(RunProcess, QuotedWordsReachTheProgramWhole) {
    test_support::TempDir dir;
    const std::string out = dir.file("args.txt");
    const std::string script = dir.file("args.sh");
    ASSERT_TRUE(test_support::write_file(script, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$OUT\"\n"));
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    setenv("OUT", out.c_str(), 1);
    double exit_code = -1;
    ASSERT_EQ(run_process(DynString((script + " \"two words\" three").c_str()), 1, 0, exit_code), 1.0);
    EXPECT_EQ(test_support::read_file(out), "two words|three|");
}

TEST(RunProcessFailure, AMissingProgramIsNotStarted) {
    double exit_code = -1;
    EXPECT_EQ(run_process(DynString("/no/such/program --flag"), 1, 1, exit_code), 0.0);
    EXPECT_EQ(exit_code, 0.0);
    EXPECT_EQ(run_process(DynString(""), 1, 1, exit_code), 0.0);
}

class LibraryFunctions : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        free_library_cache();
        library_cache().loads = 0;
    }
};

TEST_F(LibraryFunctions, SameNameInOtherLetterCaseLoadsOnce) {
    void* first = nullptr;
    void* second = nullptr;
    get_library_function(DynString("libm.so.6"), DynString("cos"), first);
    get_library_function(DynString("LIBM.so.6"), DynString("cos"), second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(library_cache().loads, 1);
    ASSERT_EQ(library_cache().names.size(), 1u);
    EXPECT_STREQ(library_cache().names[0].text_of(), "libm.so.6");
    using Cosine = double (*)(double);
    EXPECT_DOUBLE_EQ(reinterpret_cast<Cosine>(first)(0.0), 1.0);
}

TEST_F(LibraryFunctions, TheNameIsLoadedAsGiven) {
    // File names are case-sensitive: the upper-case name is not the library.
    void* address = reinterpret_cast<void*>(1);
    get_library_function(DynString("LIBM.SO.6"), DynString("cos"), address);
    EXPECT_EQ(address, nullptr);
    EXPECT_TRUE(library_cache().names.empty());
    get_library_function(DynString("libm.so.6"), DynString("sin"), address);
    EXPECT_NE(address, nullptr);
    EXPECT_EQ(library_cache().loads, 1);
}

TEST_F(LibraryFunctions, AMissingFunctionGivesNullButKeepsTheLibrary) {
    void* address = reinterpret_cast<void*>(1);
    get_library_function(DynString("libm.so.6"), DynString("no_such_function_here"), address);
    EXPECT_EQ(address, nullptr);
    EXPECT_EQ(library_cache().names.size(), 1u);
    get_library_function(DynString("libm.so.6"), DynString("COS"), address);
    EXPECT_EQ(address, nullptr);  // function names keep their letter case
}

TEST_F(LibraryFunctions, AMissingLibraryGivesNull) {
    void* address = reinterpret_cast<void*>(1);
    get_library_function(DynString("libdoes-not-exist.so"), DynString("f"), address);
    EXPECT_EQ(address, nullptr);
    EXPECT_EQ(library_cache().loads, 0);
}

}  // namespace
}  // namespace runtime
