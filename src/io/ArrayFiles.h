#pragma once
// Images and sinograms as the bytes of array files that other tools read: NPY for
// numerical code, TIFF for image programs. Both keep the array's shape and order (rows
// first, as TArray2D holds them) and are returned whole, so that the caller writes them
// with its own file contract.

#include <functional>
#include <string>
#include <string_view>

#include "base/Exception.h"
#include "tomo/Geometry.h"

namespace quarvel {

// The array could not be encoded; the message says why.
class EArrayFileError : public Exception {
 public:
  using Exception::Exception;
};

// NPY format version 1.0: the magic "\x93NUMPY", version 1.0, the little-endian length
// of the header, the header — a dictionary {'descr': '<f8', 'fortran_order': False,
// 'shape': (rows, columns), } padded with spaces and ended by a newline so that the data
// starts at a multiple of 64 bytes — then the values as little-endian float64, row after
// row (C order). The bytes do not depend on the host's byte order.
std::string NpyBytes(const TArray2D& array);
// The same bytes handed to `emit` in order, a mebibyte at a time, so that a large array
// needs no second copy of itself.
void WriteNpy(const TArray2D& array, const std::function<void(std::string_view)>& emit);

// A TIFF image of columns x rows with one channel of 32-bit IEEE floating-point samples
// (minimum is black), uncompressed, in strips, written by libtiff. Each value is rounded
// to the nearest float; one beyond the float range becomes an infinity of its sign.
// Raises EArrayFileError for an array without values, or with libtiff's reason when it
// cannot encode the image.
std::string TiffBytes(const TArray2D& array);

}  // namespace quarvel
