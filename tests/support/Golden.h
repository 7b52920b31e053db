#pragma once
// Pictures compared as pictures: a bitmap against a PNG under tests/golden/, pixel for
// pixel. On a mismatch the actual picture and a diff (differing pixels red on a
// faded copy of the expected one) are written beside the test binary and the test
// fails. With QUARVEL_UPDATE_GOLDEN=1 in the environment the golden file is written
// instead (the only way golden files change).

#include <string>

#include "platform/Bitmap.h"

namespace quarvel::testing {

// Empty when the picture matches; otherwise what differs and where the files are.
std::string CompareWithGolden(const TBitmap& picture, const std::string& name);

// Writes a bitmap as PNG; false when it cannot.
bool SavePng(const TBitmap& picture, const std::string& path);

}  // namespace quarvel::testing
