// The unpacked-size limits of an archive entry at their boundaries: the best ratio the
// packer reaches stays inside the stream ratio, and a claim beyond either limit is
// refused before anything is allocated.
#include <gtest/gtest.h>

#include "runtime/files/archive_format.h"
#include "tools/rtpack/archive_writer.h"

namespace {

void put_size(std::vector<uint8_t>& entry, uint64_t size) {
    for (int i = 0; i < 4; ++i) entry[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
}

}  // namespace

TEST(ArchiveLimits, BestPackedEntryUnpacksAndLargerClaimsAreRefused) {
    // Zeros pack at the best ratio LZO1X reaches.
    const std::vector<uint8_t> zeros(4u << 20, 0);
    std::vector<uint8_t> entry = packer::pack_entry_data(zeros);
    std::vector<uint8_t> out;
    ASSERT_TRUE(runtime::unpack_archive_entry(entry.data(), entry.size(), out));
    EXPECT_EQ(out, zeros);

    const uint64_t stream = entry.size() - 4;
    put_size(entry, stream * 256 + 257);  // one byte beyond what a stream can give
    std::vector<uint8_t> refused;
    EXPECT_FALSE(runtime::unpack_archive_entry(entry.data(), entry.size(), refused));
    EXPECT_EQ(refused.capacity(), 0u);  // refused before anything was allocated
}

TEST(ArchiveLimits, NoEntryUnpacksBeyondOneGibibyte) {
    // A stream long enough that the ratio alone would allow the claim.
    std::vector<uint8_t> entry(4 + (runtime::ARCHIVE_UNPACKED_LIMIT >> 8), 0x11);
    put_size(entry, runtime::ARCHIVE_UNPACKED_LIMIT + 1);
    std::vector<uint8_t> out;
    EXPECT_FALSE(runtime::unpack_archive_entry(entry.data(), entry.size(), out));
    EXPECT_EQ(out.capacity(), 0u);
}
