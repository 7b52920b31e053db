// The allocator policy of a process that runs the chain again and again.

#include <gtest/gtest.h>
#include <malloc.h>

#include <memory>

#include "tomo/Memory.h"

namespace quarvel {
namespace {

// By default a block of 16 MiB is mapped on its own and unmapped when freed; kept for
// reuse, it comes from the heap and stays there, free, after it is freed.
TEST(KeepFreedMemoryForReuse, LargeBlocksComeFromTheHeapAndStayThere) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer has an allocator of its own";
#endif
  KeepFreedMemoryForReuse();
  constexpr std::size_t kBytes = 16 << 20;
  const struct mallinfo2 before = mallinfo2();
  {
    const auto block = std::make_unique<char[]>(kBytes);
    block[kBytes - 1] = 1;
    EXPECT_EQ(mallinfo2().hblkhd, before.hblkhd) << "mapped on its own";
  }
  EXPECT_GE(mallinfo2().fordblks, kBytes) << "given back to the system";
}

}  // namespace
}  // namespace quarvel
