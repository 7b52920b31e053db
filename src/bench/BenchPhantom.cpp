#include "bench/BenchPhantom.h"

#include <memory>

#include "ui/ExportView.h"
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
  form.RecomputeAll();
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
