#pragma once
// The phantom as the bench edits it: the blob list in the terms of a phantom file, read
// from and written to the main window's own blob list, checked by the file's rules.

#include <string>
#include <vector>

#include "model/PhantomFile.h"
#include "model/ProjectionModel.h"

namespace quarvel {

class TformMain;

using TPhantom = std::vector<TPhantomBlob>;

// The columns of a blob as the editor shows them.
enum class TBlobColumn { MX = 0, DX = 1, MY = 2, DY = 3, Enabled = 4 };
constexpr int kBlobColumnCount = 5;

bool SameBlob(const TPhantomBlob& a, const TPhantomBlob& b);
bool SamePhantom(const TPhantom& a, const TPhantom& b);

// The model's blobs, in list order.
TPhantom PhantomOf(const TProjectionModel& model);

// Replaces the window's blobs by `phantom` and runs its update cycle once (its table,
// image and chart follow). The cycle's errors (the fit error at 512x512) propagate; the
// blobs and the grid are in place by then.
void ApplyPhantom(TformMain& form, const TPhantom& phantom);

// The blob with one of its four numbers replaced by `text`, read as a phantom file reads
// that column. A value the file would refuse raises EPhantomError with the file's reason
// alone, without a place ("DX must be finite and greater than 0, not \"0\"").
TPhantomBlob WithField(const TPhantomBlob& blob, TBlobColumn column, const std::string& text);

// A number of a blob as the editor and the saved file write it: the shortest text that
// reads back to the same double (the enabled flag as 1 or 0).
std::string FieldText(const TPhantomBlob& blob, TBlobColumn column);

// The phantom as a phantom file: the header "mx,dx,my,dy,enabled", then one line per blob.
std::string PhantomCsv(const TPhantom& phantom);

}  // namespace quarvel
