#include "bench/BenchPhantom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/ExportView.h"
#include "model/Cubic.h"
#include "ui/MainFormUnit.h"

namespace quarvel {

bool SameBlob(const TPhantomBlob& a, const TPhantomBlob& b) {
  return a.MX == b.MX && a.DX == b.DX && a.MY == b.MY && a.DY == b.DY && a.Enabled == b.Enabled;
}

bool SamePhantom(const TPhantom& a, const TPhantom& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SameBlob(a[i], b[i])) return false;
  return true;
}

TPhantom PhantomOf(const TProjectionModel& model) {
  TPhantom phantom;
  for (int i = 0; i < model.BlobCount(); ++i) {
    const TGauss3D& g = *model.BlobAt(i);
    phantom.push_back({g.MX, g.DX, g.MY, g.DY, g.Enabled});
  }
  return phantom;
}

void ApplyPhantom(TformMain& form, const TPhantom& phantom) {
  ListFreeAll(form.Blobs);
  for (const TPhantomBlob& b : phantom) {
    auto blob = std::make_unique<TGauss3D>(b.MX, b.DX, b.MY, b.DY);
    blob->Enabled = b.Enabled;
    form.AdoptBlob(std::move(blob));
  }
  try {
    form.RecomputeAll();
  } catch (const EFitError& fit) {
    // The grid and the table are new, but the cycle stopped before the image was asked
    // to repaint: without this it would still show a blob the table greys out.
    form.boxNormal->Invalidate();
    form.update();
    throw EResampleError(form.Resolution % 3, fit);
  }
}

double RoundedToDecimals(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return std::strtod(text, nullptr);
}

double RoundedToDigits(double value, int digits) {
  if (!std::isfinite(value) || value == 0) return value;
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
  return std::strtod(text, nullptr);
}

namespace {

constexpr double kLow = 1, kHigh = 20;  // the model's square
constexpr double kGridStep = 19.0 / 127.0;

double Inside(double mean) { return std::clamp(RoundedToDecimals(mean, 3), kLow, kHigh); }

double Spread(double spread) {
  // Always finite and above 0, however far the gesture goes.
  const double s = RoundedToDigits(spread, 4);
  return std::clamp(s, 1e-6, 1e6);
}

}  // namespace

TPhantomBlob MovedBlob(const TPhantomBlob& start, double dx, double dy) {
  TPhantomBlob b = start;
  b.MX = Inside(start.MX + dx);
  b.MY = Inside(start.MY + dy);
  return b;
}

TPhantomBlob SpreadBlob(const TPhantomBlob& start, int dxPixels, int dyPixels) {
  TPhantomBlob b = start;
  b.DX = Spread(start.DX * std::exp2(std::clamp(dxPixels / 40.0, -20.0, 20.0)));
  b.DY = Spread(start.DY * std::exp2(std::clamp(dyPixels / 40.0, -20.0, 20.0)));
  return b;
}

TPhantomBlob ScaledSpreads(const TPhantomBlob& blob, int notches) {
  const double factor = std::pow(1.1, std::clamp(notches, -50, 50));
  TPhantomBlob b = blob;
  b.DX = Spread(blob.DX * factor);
  b.DY = Spread(blob.DY * factor);
  return b;
}

TPhantomBlob NudgedBlob(const TPhantomBlob& blob, int columns, int rows) {
  TPhantomBlob b = blob;
  b.MX = Inside(blob.MX + columns * kGridStep);
  b.MY = Inside(blob.MY + rows * kGridStep);
  return b;
}

TPhantomBlob DuplicateOf(const TPhantomBlob& blob) {
  TPhantomBlob b = blob;
  b.MX = blob.MX + 1.5 <= kHigh ? blob.MX + 1.5 : blob.MX - 1.5;
  b.MY = blob.MY + 1.5 <= kHigh ? blob.MY + 1.5 : blob.MY - 1.5;
  return b;
}

const std::vector<TPreset>& Presets() {
  static const std::vector<TPreset> presets = [] {
    std::vector<TPreset> p;
    p.push_back({"The main window's three blobs", BuiltInPhantom()});
    // Shrinking blobs along a row: where the reconstruction stops telling them apart.
    TPhantom pattern;
    double x = 3;
    for (double spread : {1.0, 0.7, 0.5, 0.35, 0.25, 0.18}) {
      pattern.push_back({x, spread, 10.5, spread, true});
      x += 3 * spread + 1.2;
    }
    p.push_back({"Resolution pattern", pattern});
    // Sixteen small blobs on a circle of radius 6 about the centre.
    TPhantom ring;
    for (int i = 0; i < 16; ++i) {
      const double a = i * (2 * 3.14159265358979323846 / 16);
      ring.push_back({RoundedToDecimals(10.5 + 6 * std::cos(a), 3), 0.6,
                      RoundedToDecimals(10.5 + 6 * std::sin(a), 3), 0.6, true});
    }
    p.push_back({"Ring", ring});
    // A disc 7 % above a wider one (blobs combine by their maximum): what noise hides.
    p.push_back({"Low-contrast disc", {{10.5, 3, 10.5, 3, true}, {12, 2.8, 9.5, 2.8, true}}});
    return p;
  }();
  return presets;
}

std::string FieldText(const TPhantomBlob& blob, TBlobColumn column) {
  switch (column) {
    case TBlobColumn::MX:
      return ShortestText(blob.MX);
    case TBlobColumn::DX:
      return ShortestText(blob.DX);
    case TBlobColumn::MY:
      return ShortestText(blob.MY);
    case TBlobColumn::DY:
      return ShortestText(blob.DY);
    case TBlobColumn::Enabled:
      break;
  }
  return blob.Enabled ? "1" : "0";
}

TPhantomBlob WithField(const TPhantomBlob& blob, TBlobColumn column, const std::string& text) {
  if (column == TBlobColumn::Enabled) throw EPhantomError("the enabled flag is not a number");
  // The file's reader is the one judge of a value: the blob is written as a one-line file
  // with `text` in its column. A separator or a line end would split the line.
  if (text.find_first_of(",\r\n") != std::string::npos)
    throw EPhantomError("a value holds no comma and no line break");
  std::string line;
  for (int c = 0; c < 4; ++c) {
    if (c > 0) line += ',';
    line += c == static_cast<int>(column) ? text : FieldText(blob, static_cast<TBlobColumn>(c));
  }
  const std::string name = "value";
  try {
    const auto blobs = ParsePhantom("mx,dx,my,dy\n" + line + "\n", name);
    TPhantomBlob result = blobs.at(0);
    result.Enabled = blob.Enabled;
    return result;
  } catch (const EPhantomError& e) {
    // "value:2:COLUMN: reason": the reason alone belongs at the cell.
    const std::string message = e.what();
    const std::size_t reason = message.find(": ");
    throw EPhantomError(reason == std::string::npos ? message : message.substr(reason + 2));
  }
}

std::string PhantomCsv(const TPhantom& phantom) {
  std::string text = "mx,dx,my,dy,enabled\n";
  for (const TPhantomBlob& b : phantom)
    text += FieldText(b, TBlobColumn::MX) + ',' + FieldText(b, TBlobColumn::DX) + ',' +
            FieldText(b, TBlobColumn::MY) + ',' + FieldText(b, TBlobColumn::DY) + ',' +
            FieldText(b, TBlobColumn::Enabled) + '\n';
  return text;
}

}  // namespace quarvel
