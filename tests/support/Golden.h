#pragma once
// Pictures compared as pictures: a bitmap against a PNG under tests/golden/, pixel for
// pixel. On a mismatch the actual picture and a diff (differing pixels red on a
// faded copy of the expected one) are written beside the test binary and the test
// fails. With QUARVEL_UPDATE_GOLDEN=1 in the environment the golden file is written
// instead (the only way golden files change).
//
// Two kinds, both compared exactly. tests/golden/*.png (chart_*) are pixel-exact: every
// pixel comes from the project's own surface (glyph coverage from the font engine aside),
// so any change is the program's; their cases carry the ctest label pixel-exact.
// tests/golden/toolkit/*.png (window_*) are toolkit-dependent: the toolkit's widgets
// draw part of them (frames, buttons, the table), so a new toolkit version or style may
// change them; their cases carry the label toolkit-dependent.

#include <string>

#include "platform/Bitmap.h"

namespace quarvel::testing {

// Empty when the picture matches; otherwise what differs and where the files are. `name`
// is the file's path under tests/golden/ without ".png" ("chart_128", "toolkit/window_128").
std::string CompareWithGolden(const TBitmap& picture, const std::string& name);

// Writes a bitmap as PNG; false when it cannot.
bool SavePng(const TBitmap& picture, const std::string& path);

}  // namespace quarvel::testing
