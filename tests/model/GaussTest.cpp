#include "model/Gauss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "base/Exception.h"

namespace quarvel {
namespace {

TEST(NormalDensity, KnownValuesAndSymmetry) {
  EXPECT_NEAR(NormalDensity(7, 7, 2), 0.199471140200716, 1e-15);
  EXPECT_EQ(NormalDensity(3, 5, 1.5), NormalDensity(5, 3, 1.5));
  EXPECT_NEAR(NormalDensity(9, 7, 2), std::exp(-0.5) / (2 * std::sqrt(2 * std::numbers::pi)),
              1e-16);
  // The spread enters with its sign.
  EXPECT_EQ(NormalDensity(7, 7, -2), -NormalDensity(7, 7, 2));
  // Far in the tail the density underflows to zero without an error.
  EXPECT_EQ(NormalDensity(1e6, 0, 1), 0.0);
}

TEST(NormalDensity, ZeroSpreadRaisesFloatingPointError) {
  EXPECT_THROW(NormalDensity(7, 7, 0), EInvalidOp);   // 0 / 0
  EXPECT_THROW(NormalDensity(8, 7, 0), EZeroDivide);  // d^2 / 0
  try {
    NormalDensity(8, 7, 0);
  } catch (const EMathError& e) {
    EXPECT_EQ(e.Message(), "Floating point division by zero");
  }
  // A spread so small that the peak does not fit a double.
  EXPECT_THROW(NormalDensity(7, 7, 1e-320), EOverflow);
}

TEST(BlobValue, GeometricMeanOfTheTwoDensities) {
  const TGauss3D blob2(9, 3, 7, 1);
  EXPECT_NEAR(blob2.BlobValue(9, 7), 0.230329432980890, 1e-15);
  EXPECT_EQ(blob2.BlobValue(9, 7),
            CombineDensities(NormalDensity(9, 9, 3), NormalDensity(7, 7, 1)));
  // X pairs with MX/DX and Y with MY/DY: swapping the point changes the value.
  EXPECT_NE(blob2.BlobValue(7, 9), blob2.BlobValue(9, 7));
  // One negative spread makes the product negative: an invalid square root.
  EXPECT_THROW(TGauss3D(9, -3, 7, 1).BlobValue(9, 7), EInvalidOp);
  EXPECT_GT(TGauss3D(9, -3, 7, -1).BlobValue(9, 7), 0);
}

class RecordingRegistry final : public TBlobRegistry {
 public:
  void RegisterBlob(std::unique_ptr<TGauss3D> blob) override { blobs.push_back(std::move(blob)); }
  std::vector<std::unique_ptr<TGauss3D>> blobs;
};

TEST(CreateBlob, RegistersOnlyWhenAMainWindowExists) {
  ASSERT_EQ(MainBlobRegistry(), nullptr);
  auto own = CreateBlob(7, 2, 12, 2);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->MX, 7);
  EXPECT_EQ(own->DX, 2);
  EXPECT_EQ(own->MY, 12);
  EXPECT_EQ(own->DY, 2);
  EXPECT_TRUE(own->Enabled);

  RecordingRegistry registry;
  SetMainBlobRegistry(&registry);
  EXPECT_EQ(CreateBlob(9, 3, 7, 1), nullptr);
  SetMainBlobRegistry(nullptr);
  ASSERT_EQ(registry.blobs.size(), 1u);
  EXPECT_EQ(registry.blobs[0]->MX, 9);
}

}  // namespace
}  // namespace quarvel
