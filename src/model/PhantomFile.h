#pragma once
// Phantom files: a user's own blobs, as CSV text.
//
//   # comment lines and blank lines may stand anywhere
//   mx,dx,my,dy,enabled
//   7,2,12,2,1
//
// The text is UTF-8 (a leading byte-order mark is skipped). The first line that is
// neither blank nor a comment (first non-blank character '#') is the header
// "mx,dx,my,dy", optionally with a fifth column "enabled" (names in any letter case);
// every further such line is one blob, in file order, with as many fields as the header.
// Numbers are read in the C locale, a point as the decimal separator whatever the
// user's locale; spaces and tabs around a field are ignored. "enabled" is 1, 0, true or
// false (true when the column is absent). Means must be finite, spreads finite and
// large enough that a blob's peak density, 1 / (spread * sqrt(2 pi)), fits a double
// (at least about 2.2e-309). Lines end in LF or CRLF and hold at most 4096 bytes; a
// file holds at most 10000 blobs and 64 MiB, so that an endless input of comments or
// blank lines ends too. A header with no blob, or with no enabled blob, is a valid
// phantom.
//
// Anything else raises EPhantomError with one line "FILE:LINE:COLUMN: reason" (line and
// column from 1, the column counted in characters), or "FILE: reason" when the file
// cannot be read at all. Reading stops at the first error.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace quarvel {

// One blob as the file gives it, in the order of the blob constructor's arguments.
struct TPhantomBlob {
  double MX = 0;
  double DX = 0;
  double MY = 0;
  double DY = 0;
  bool Enabled = true;
};

class EPhantomError : public Exception {
 public:
  using Exception::Exception;
};

constexpr std::size_t kPhantomMaxLineBytes = 4096;
constexpr std::size_t kPhantomMaxBlobs = 10000;
constexpr std::size_t kPhantomMaxBytes = std::size_t{64} << 20;

// Reads phantom text held in memory; `fileName` only names the file in messages.
std::vector<TPhantomBlob> ParsePhantom(std::string_view text, const std::string& fileName);

// Reads the phantom file at `path` ("-": standard input, "standard input" in messages),
// a piece at a time: an endless or binary input (a device, a pipe) fails at its first
// bad line or at the size limit instead of filling the memory.
std::vector<TPhantomBlob> ReadPhantomFile(const std::string& path);

}  // namespace quarvel
