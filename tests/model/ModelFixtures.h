#pragma once
// The start-up phantom, built the way the program builds it: three blobs, each
// registering and running the model's update cycle.

#include <memory>

#include "model/ProjectionModel.h"

namespace quarvel::testing {

class RegisteringModel final : public TProjectionModel, public TBlobRegistry {
 public:
  void RegisterBlob(std::unique_ptr<TGauss3D> blob) override {
    AdoptBlob(std::move(blob));
    ++cycles;
    RecomputeModel();
  }
  int cycles = 0;
};

// Runs the start-up sequence (at resolution 0, as the window starts), then chooses
// `resolution` and runs the cycle again, as a click on the radio group does.
inline std::unique_ptr<RegisteringModel> StartUpPhantom(uint8_t resolution = 0) {
  auto model = std::make_unique<RegisteringModel>();
  SetMainBlobRegistry(model.get());
  CreateBlob(7.0, 2.0, 12.0, 2.0);
  CreateBlob(9.0, 3.0, 7.0, 1.0);
  CreateBlob(15.0, 1.0, 8.0, 3.0);
  SetMainBlobRegistry(nullptr);
  if (resolution != 0) {
    model->Resolution = resolution;
    model->RecomputeModel();
  }
  return model;
}

}  // namespace quarvel::testing
