// Fixture shared by the files tests.
#include "files_fixture.h"

#include <cstdlib>

#include "runtime/core/lifecycle.h"
#include "runtime/files/files.h"
#include "runtime/files/packed_archive.h"

namespace files_test {

void reset_files() {
    runtime::close_all_file_channels();
    runtime::close_packed_archives();
    runtime::ini_store() = runtime::IniStore{};
    runtime::line_store() = runtime::LineStore{};
    runtime::process_state() = runtime::ProcessState{};
}

void FilesTest::SetUp() {
    reset_files();
    if (const char* t = std::getenv("TMPDIR")) {
        had_tmpdir_ = true;
        old_tmpdir_ = t;
    }
    setenv("TMPDIR", dir.path().c_str(), 1);
}

void FilesTest::TearDown() {
    reset_files();
    if (had_tmpdir_)
        setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

void make_file(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(test_support::write_file(path, bytes)) << path;
}

}  // namespace files_test
