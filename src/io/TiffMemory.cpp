#include "io/TiffMemory.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace quarvel {
namespace {

TTiffMemory& MemoryOf(thandle_t handle) { return *static_cast<TTiffMemory*>(handle); }

std::string_view BytesOf(const TTiffMemory& m) {
  return m.Writing ? std::string_view(m.Written) : m.Source;
}

tmsize_t ReadMemory(thandle_t handle, void* to, tmsize_t size) {
  TTiffMemory& m = MemoryOf(handle);
  const std::string_view bytes = BytesOf(m);
  if (size < 0 || m.Position >= bytes.size()) return 0;
  const std::uint64_t n =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(size), bytes.size() - m.Position);
  std::memcpy(to, bytes.data() + m.Position, n);
  m.Position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteMemory(thandle_t handle, void* from, tmsize_t size) {
  TTiffMemory& m = MemoryOf(handle);
  if (!m.Writing || size < 0) return -1;
  const std::uint64_t end = m.Position + static_cast<std::uint64_t>(size);
  try {
    if (end > m.Written.size()) m.Written.resize(end);
  } catch (const std::bad_alloc&) {
    m.OutOfMemory = true;
    return -1;
  }
  std::memcpy(m.Written.data() + m.Position, from, static_cast<std::size_t>(size));
  m.Position = end;
  return size;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
  TTiffMemory& m = MemoryOf(handle);
  const std::uint64_t base = whence == SEEK_CUR   ? m.Position
                             : whence == SEEK_END ? BytesOf(m).size()
                                                  : 0;
  m.Position = base + offset;
  return m.Position;
}

int CloseMemory(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return BytesOf(MemoryOf(handle)).size(); }
int MapMemory(thandle_t, void**, toff_t*) { return 0; }
void UnmapMemory(thandle_t, void*, toff_t) {}

int KeepError(TIFF*, void* userData, const char* module, const char* format, va_list arguments) {
  auto& error = *static_cast<TTiffError*>(userData);
  if (!error.Message.empty()) return 1;  // the first error is the cause
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  error.Message =
      error.NameModule ? std::string(module ? module : "libtiff") + ": " + text : std::string(text);
  return 1;
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

TTiffHandle OpenTiffMemory(const char* name, const char* mode, TTiffMemory& memory,
                           TTiffError& error) {
  // libtiff copies the handlers into the handle it opens: the options may go after.
  std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                           TIFFOpenOptionsFree);
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &error);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
  return TTiffHandle(
      TIFFClientOpenExt(name, mode, &memory, ReadMemory, WriteMemory, SeekMemory, CloseMemory,
                        MemorySize, MapMemory, UnmapMemory, options.get()),
      TIFFClose);
}

}  // namespace quarvel
