// Model files are read whole up to 256 MiB; a larger one is refused before it is read.
#include "runtime/gfx3d/object_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace runtime {
namespace {

TEST(ModelFiles, ReadWholeUpTo256MiB) {
    test_support::TempDir dir;
    const std::string path = dir.file("big.ddd");
    for (int64_t size : {MAX_MODEL_FILE_BYTES, MAX_MODEL_FILE_BYTES + 1}) {
        ASSERT_TRUE(test_support::write_file(path, "DDDA"));
        ASSERT_EQ(::truncate(path.c_str(), size), 0);  // the rest is a hole: zeros on no disk space
        std::vector<uint8_t> bytes;
        const bool fits = size <= MAX_MODEL_FILE_BYTES;
        EXPECT_EQ(read_model_file(path, bytes), fits ? ModelFileStatus::OK : ModelFileStatus::TOO_LARGE) << size;
        EXPECT_EQ(static_cast<int64_t>(bytes.size()), fits ? size : 0) << size;
    }
}

}  // namespace
}  // namespace runtime
