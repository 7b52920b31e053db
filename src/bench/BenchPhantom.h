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
// image and chart follow). The cycle's errors propagate, the fit error at 512x512 as the
// main window words it (EResampleError, with its sentences); the blobs, the grid and the
// grid's image are in place by then.
void ApplyPhantom(TformMain& form, const TPhantom& phantom);

// The blob with one of its four numbers replaced by `text`, read as a phantom file reads
// that column. A value the file would refuse raises EPhantomError with the file's reason
// alone, without a place ("DX must be finite and greater than 0, not \"0\"").
TPhantomBlob WithField(const TPhantomBlob& blob, TBlobColumn column, const std::string& text);

// A number of a blob as the editor and the saved file write it: the shortest text that
// reads back to the same double (the enabled flag as 1 or 0).
std::string FieldText(const TPhantomBlob& blob, TBlobColumn column);

// The gestures on a blob, as pure steps; every number they make is rounded to what the
// gesture can mean (a mean to 0.001 model units, a spread to four significant digits), so
// the table and the saved file show 2.42, not 2.4200000000000004.
//
// A drag of a handle from `start`: the mean moved by (dx, dy) model units, kept inside
// the model's square (1 to 20) so that its handle can always be caught again; or, with
// Shift, the spreads changed by (dx, dy) pixels, 40 pixels doubling or halving a spread.
TPhantomBlob MovedBlob(const TPhantomBlob& start, double dx, double dy);
TPhantomBlob SpreadBlob(const TPhantomBlob& start, int dxPixels, int dyPixels);
// Wheel notches on a blob: both spreads times 1.1 per notch away from the user.
TPhantomBlob ScaledSpreads(const TPhantomBlob& blob, int notches);
// An arrow key on the selected blob: the mean moved by (columns, rows) grid steps, kept
// inside the model's square.
TPhantomBlob NudgedBlob(const TPhantomBlob& blob, int columns, int rows);
// A copy to insert after `blob`: moved 1.5 model units (ten cells) right and down (back inside the
// square when that leaves it), so that both handles show.
TPhantomBlob DuplicateOf(const TPhantomBlob& blob);
// `value` rounded to `decimals` places, or to `digits` significant digits: the double
// nearest to the rounded decimal text.
double RoundedToDecimals(double value, int decimals);
double RoundedToDigits(double value, int digits);

// A phantom to start from.
struct TPreset {
  std::string Name;
  TPhantom Blobs;
};
// The main window's three blobs, a resolution pattern of shrinking blobs, a ring, and a
// low-contrast disc inside a wider one.
const std::vector<TPreset>& Presets();

// The phantom as a phantom file: the header "mx,dx,my,dy,enabled", then one line per blob.
std::string PhantomCsv(const TPhantom& phantom);

}  // namespace quarvel
