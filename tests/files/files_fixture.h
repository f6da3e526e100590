// Fixture for the files tests: a private temporary folder that is also $TMPDIR (so
// extracted archive entries land there) and a reset of every files record.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace files_test {

// Clears channels, archive records, INI and line stores and the stop record, without
// writing anything back.
void reset_files();

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return dir.file(name); }

    test_support::TempDir dir;

private:
    std::string old_tmpdir_;
    bool had_tmpdir_ = false;
};

// Writes a file and fails the test when it cannot.
void make_file(const std::string& path, const std::string& bytes);

}  // namespace files_test
