// The phantom reader on any bytes: it either accepts them, giving at most 10000 blobs
// with finite means and finite spreads above 0 that read back exactly when written out
// again, or refuses them with one line naming the file.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/PhantomFile.h"

namespace {

std::string Text(double v) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto blobs = quarvel::ParsePhantom(text, "fuzz.csv");
    if (blobs.size() > quarvel::kPhantomMaxBlobs) __builtin_trap();
    std::string again = "mx,dx,my,dy,enabled\n";
    for (const auto& b : blobs) {
      if (!std::isfinite(b.MX) || !std::isfinite(b.MY) || !(b.DX > 0) || !(b.DY > 0))
        __builtin_trap();
      if (!std::isfinite(b.DX) || !std::isfinite(b.DY)) __builtin_trap();
      again += Text(b.MX) + "," + Text(b.DX) + "," + Text(b.MY) + "," + Text(b.DY) + "," +
               (b.Enabled ? "1" : "0") + "\n";
    }
    const auto reread = quarvel::ParsePhantom(again, "again.csv");
    if (reread.size() != blobs.size()) __builtin_trap();
    for (std::size_t i = 0; i < blobs.size(); ++i)
      if (reread[i].MX != blobs[i].MX || reread[i].DX != blobs[i].DX ||
          reread[i].MY != blobs[i].MY || reread[i].DY != blobs[i].DY ||
          reread[i].Enabled != blobs[i].Enabled)
        __builtin_trap();
  } catch (const quarvel::EPhantomError& e) {
    const std::string& m = e.Message();
    if (m.rfind("fuzz.csv:", 0) != 0 || m.find('\n') != std::string::npos) __builtin_trap();
  }
  return 0;
}
