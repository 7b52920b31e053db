#pragma once
// libtiff over bytes in memory, for the TIFF writer and reader alike: the writer fills a
// growing buffer (libtiff seeks back to patch offsets, and may seek past the end, which
// leaves zeros in between); the reader reads the caller's bytes where they lie.
//
// No exception may pass through libtiff's C code: a buffer that cannot grow is a failed
// write, which libtiff reports as its error, and OutOfMemory says why. libtiff's messages
// are kept for the error the caller raises, never printed: the program's errors are one
// line of its own.

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quarvel {

struct TTiffMemory {
  // Writing: the bytes written so far. Reading: unused.
  std::string Written;
  // Reading: the caller's bytes, which must outlive the handle. Writing: unused.
  std::string_view Source;
  bool Writing = false;
  std::uint64_t Position = 0;
  bool OutOfMemory = false;
};

// The first error libtiff reports while a handle is open ("module: text" when NameModule,
// else the text alone); empty while there is none.
struct TTiffError {
  bool NameModule = false;
  std::string Message;
};

using TTiffHandle = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

// Opens `memory` under `name` in libtiff's `mode` ("w", "w8" or "rm"), its errors kept in
// `error`, which must outlive the handle; warnings are dropped. Null when libtiff refuses
// (the reason in `error`). Raises std::bad_alloc when libtiff's options cannot be made.
TTiffHandle OpenTiffMemory(const char* name, const char* mode, TTiffMemory& memory,
                           TTiffError& error);

}  // namespace quarvel
