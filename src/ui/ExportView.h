#pragma once
// The pictures and number texts that the export tool writes and the window saves: each
// is computed from the main window's own state, so both show exactly the same thing.
// Numbers are the shortest texts that read back to the same doubles.

#include <QByteArray>
#include <QImage>

#include <string>

#include "ui/MainFormUnit.h"

namespace quarvel {

// The shortest decimal text that reads back to the same double ("0.1", "1e-300").
std::string ShortestText(double v);

// The window's picture once its layout has settled (shows the form if hidden).
QImage WindowPicture(TformMain& form);

// The projection chart alone at width x height, fed and overlaid as in the window,
// painted twice so that its layout has settled.
QImage ChartPicture(const TformMain& form, int width, int height);

// The 128 x 128 density image.
QImage GridPicture(const TformMain& form);

// "index,x,y,kind" rows of the resampled points at the form's resolution.
std::string PointsCsv(const TformMain& form);
// "ix,x,sum" rows of the zero projection.
std::string ProjectionCsv(const TformMain& form);
// "ix,iy,x,y,value" rows of the density grid.
std::string GridCsv(const TformMain& form);

// The PNG file of `image`. Raises Exception when the image is null (its pixels could not
// be allocated) or cannot be encoded: an empty file is never a picture.
QByteArray PngBytes(const QImage& image);
std::string PngText(const QImage& image);
QByteArray TextBytes(const std::string& text);

}  // namespace quarvel
