// Console view of the phantom until the window exists: runs the start-up sequence of
// the model (three blobs, each registering and recomputing) and prints the blob table
// and the first resampled points at each resolution.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "format/Exception.h"
#include "format/NumberFormat.h"
#include "model/ProjectionModel.h"

namespace {

using quarvel::FormatGeneral;
using quarvel::FormatPattern;

class ConsolePhantom : public quarvel::TProjectionModel, public quarvel::TBlobRegistry {
 public:
  void RegisterBlob(std::unique_ptr<quarvel::TGauss3D> blob) override {
    AdoptBlob(std::move(blob));
    RecomputeModel();
    ++cycles;
  }
  int cycles = 0;
};

void PrintTable(const ConsolePhantom& model) {
  std::printf("%-8s%-8s%-8s%-8s\n", "MX", "DX", "MY", "DY");
  for (int i = 0; i < model.BlobCount(); ++i) {
    const quarvel::TGauss3D* b = model.BlobAt(i);
    std::printf("%-8s%-8s%-8s%-8s\n", FormatGeneral(b->MX).c_str(), FormatGeneral(b->DX).c_str(),
                FormatGeneral(b->MY).c_str(), FormatGeneral(b->DY).c_str());
  }
}

void PrintPoints(ConsolePhantom& model, int resolution, int shown) {
  static const char* const kNames[] = {"128x128", "256x256", "512x512"};
  model.Resolution = static_cast<uint8_t>(resolution);
  model.RecomputeModel();
  std::printf("\n%s: %d points\n", kNames[resolution], model.ResolutionPointCount());
  for (int i = 0; i < shown; ++i) {
    const auto& p = model.Points[i];
    std::printf("  %3d  X %-20s Y %s\n", i, FormatGeneral(p.X).c_str(), FormatGeneral(p.Y).c_str());
  }
}

}  // namespace

int main() {
  try {
    ConsolePhantom model;
    quarvel::SetMainBlobRegistry(&model);
    quarvel::CreateBlob(7.0, 2.0, 12.0, 2.0);
    quarvel::CreateBlob(9.0, 3.0, 7.0, 1.0);
    quarvel::CreateBlob(15.0, 1.0, 8.0, 3.0);
    quarvel::SetMainBlobRegistry(nullptr);

    std::printf("Quarvel view (console): %d update cycles at start-up\n\n", model.cycles);
    PrintTable(model);
    std::printf("\nGrid maximum %s\n", FormatPattern("0.0000000", model.GridMax).c_str());
    for (int r = 0; r < 3; ++r) PrintPoints(model, r, 5);
    return 0;
  } catch (const quarvel::Exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
  }
  return 1;
}
