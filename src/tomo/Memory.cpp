#include "tomo/Memory.h"

#include <malloc.h>

namespace quarvel {

void KeepFreedMemoryForReuse() {
  // Setting either bound also ends the allocator's own adjustment of both, so both are
  // set: the mapping bound alone would leave the trimming at its default, and the
  // trimming bound alone would map every block above 128 KiB afresh.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

}  // namespace quarvel
