#pragma once
// The export tool's `rebin` command: a fan sinogram resampled at a parallel geometry
// (RebinToParallel), so that the parallel tools apply to it.
//
//   quarvel-export rebin OUT --sinogram FAN
//
// FAN is an NPY, TIFF or sinogram CSV file of [view][bin]. Its geometry comes from its
// JSON file (FAN.json) when there is one, else from the options (--geometry fan-flat or
// fan-arc, --source-distance, --detector-distance, --arc; views and bins from the
// array). OUT is written as its ending says (npy, tiff, csv or png); an NPY or TIFF OUT
// gets its own JSON file, OUT.json, with the parallel geometry.

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>

#include <string>

#include "tomo/Geometry.h"

namespace quarvel {

bool IsRebinCommand(const QString& command);

// Reads FAN, rebins it and writes OUT (and OUT.json). Raises EUsageError (exit 2) for a
// missing --sinogram, an unreadable or malformed file, a geometry that is not a fan, or
// an output kind the command does not write; before anything is written.
void RunRebin(const QCommandLineParser& parser, const QString& file);

}  // namespace quarvel
