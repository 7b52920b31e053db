#pragma once
// Pictures compared as pictures, pixel for pixel (the colour bytes; alpha is ignored).
// On a mismatch the actual picture and a diff (differing pixels red on a faded copy of
// the expected one) are written under golden-diff/ in the working folder and the
// comparison fails with what differs and where the files are.
//
// Golden files live under tests/golden/. With QUARVEL_UPDATE_GOLDEN=1 in the environment
// a comparison with a golden file writes the file from the actual picture and still
// fails, saying so: an update run never passes, so a rewritten golden is looked at and
// the suite run again before anything counts as green.
//
// Two kinds, both compared exactly. tests/golden/*.png (chart_*) are pixel-exact: every
// pixel comes from the project's own surface (glyph coverage from the font engine aside),
// so any change is the program's; their cases carry the ctest label pixel-exact.
// tests/golden/toolkit/*.png (window_*) are toolkit-dependent: the toolkit's widgets
// draw part of them (frames, buttons, the table), so a new toolkit version or style may
// change them; their cases carry the label toolkit-dependent.

#include <QImage>

#include <string>

#include "platform/Bitmap.h"

namespace quarvel::testing {

// Empty when the pictures are equal; otherwise what differs and where the actual picture
// and the diff were written (golden-diff/<name>.actual.png, .diff.png).
std::string ComparePictures(const QImage& actual, const QImage& expected, const std::string& name);

// ComparePictures against tests/golden/<name>.png. `name` is the file's path there
// without ".png" ("chart_128", "toolkit/window_128"). In update mode: writes the file,
// then fails.
std::string CompareWithGolden(const QImage& actual, const std::string& name);
std::string CompareWithGolden(const TBitmap& picture, const std::string& name);

// The same against the golden file at `path` (the two forms above use the folder).
std::string CompareWithGoldenFile(const QImage& actual, const QString& path,
                                  const std::string& name);

// The golden file's picture as 32-bit RGB (a null image when there is none).
QImage GoldenPicture(const std::string& name);

// The bitmap as a 32-bit RGB image.
QImage ToImage(const TBitmap& picture);

// Writes a bitmap as PNG; false when it cannot.
bool SavePng(const TBitmap& picture, const std::string& path);

}  // namespace quarvel::testing
