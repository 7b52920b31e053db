#pragma once
// The user's arrays read from the files other tools write: NPY, TIFF, the export tool's
// own CSV layouts, and lists of angles. Each reader takes the file's bytes and the name
// to report, and returns the values as doubles in a TArray2D ([row][column]: [iy][ix]
// for an image, [view][bin] for a sinogram), or raises EArrayReadError with one line:
//
//   FILE: reason                          the file as a whole (unreadable, truncated,
//                                         wrong rank or type)
//   FILE: row R, column C: reason         a value of an array (rows and columns from 0)
//   FILE:LINE: reason                     a line of a text file (lines from 1)
//
// Every value must be finite: a NaN or an infinity is refused where it stands, so no
// later stage has to guess what it meant. A file must hold at least one value; the
// sizes a command accepts are the command's to check.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "tomo/Geometry.h"

namespace quarvel {

// A file that cannot be read as the array it should hold; the message names the file.
class EArrayReadError : public Exception {
 public:
  using Exception::Exception;
};

// The whole content of `path` ("-" is standard input, named so in messages), or
// EArrayReadError "FILE: cannot read: <the system's reason>".
std::string ReadFileBytes(const std::string& path);

// NPY, versions 1.0, 2.0 and 3.0: a 2-D array of float64, float32 or any integer type
// (signed or unsigned, 1 to 8 bytes), in either byte order, in C or Fortran order. The
// header is read as the Python literal it is: keys in any order, either quote, blanks
// and a trailing comma anywhere the language allows them. Integers beyond 2^53 are
// rounded to the nearest double. The data must be exactly as long as the shape says.
TArray2D ParseNpy(std::string_view bytes, const std::string& name);

// TIFF (classic or BigTIFF, any compression the distribution's libtiff decodes, strips
// or tiles): the first image, which must have one sample per pixel of 32- or 64-bit
// IEEE floating point. The image's first row is the array's row 0.
TArray2D ParseTiff(std::string_view bytes, const std::string& name);

// The `grid` CSV layout: the header "ix,iy,x,y,value", then one line per cell (ix and
// iy whole numbers from 0; x and y are not read). Every cell of the ix x iy rectangle
// must appear exactly once, in any order. Lines end in LF or CRLF; blank lines and
// lines starting with '#' are skipped.
TArray2D ParseGridCsv(std::string_view text, const std::string& name);

// The `sinogram` CSV layout: the header "view,angle,bin,t,value", then one line per
// bin, each view's bins together. Every (view, bin) must appear exactly once, and a
// view's lines must agree on its angle (degrees, finite). t is not read: the detector's
// spacing and offset are not recorded in the layout.
struct TSinogramCsv {
  TArray2D Values;             // [view][bin]
  std::vector<double> Angles;  // degrees, one per view
};
TSinogramCsv ParseSinogramCsv(std::string_view text, const std::string& name);

// An angle file: one angle in degrees per line, finite; blank lines skipped, and from
// '#' to the line's end is a comment. At least one angle.
std::vector<double> ParseAngles(std::string_view text, const std::string& name);

// The kind of array file a name stands for by its ending (any letter case): .npy,
// .tif or .tiff, .csv; Unknown for any other.
enum class TArrayFileKind { Npy, Tiff, Csv, Unknown };
TArrayFileKind ArrayFileKindOf(const std::string& path);

// An image file by its ending: NPY, TIFF or the grid CSV. EArrayReadError for another
// ending ("FILE: not an image file: give a .npy, .tif, .tiff or .csv file").
TArray2D ReadImageFile(const std::string& path);

// A sinogram file by its ending: NPY, TIFF (no angles) or the sinogram CSV (its angles).
TSinogramCsv ReadSinogramFile(const std::string& path);

// An angle file, as ParseAngles.
std::vector<double> ReadAngleFile(const std::string& path);

}  // namespace quarvel
