#include "model/Cubic.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/Exception.h"

namespace quarvel {
namespace {

std::string FitErrorMessage(double x1, double y1, double x2, double y2, TCubic* cubic = nullptr) {
  TCubic local;
  try {
    FitCubic(cubic ? *cubic : local, x1, y1, x2, y2);
  } catch (const EMathError&) {
    return "floating-point error escaped";
  } catch (const Exception& e) {
    return e.Message();
  }
  return "no error";
}

TEST(FitCubic, KnownCoefficients) {
  const struct {
    const char* name;
    double x1, x2, y2;
    TCubic expected;
  } cases[] = {
      {"rising from x1 to x2", 1, 2, 3, {-0.0714285, 1.6428565, -1.42857, -0.142856}},
      {"x2 before x1", 2, 1, 5, {0.25000025, -3.74999975, 4.4999975, 4.000006}},
  };
  for (const auto& c : cases) {
    for (double y1 : {0.0, 5.0, -1e300}) {  // Y1 plays no part
      TCubic fit;
      FitCubic(fit, c.x1, y1, c.x2, c.y2);
      EXPECT_NEAR(fit.C3, c.expected.C3, 1e-7) << c.name << ", y1 " << y1;
      EXPECT_NEAR(fit.C2, c.expected.C2, 1e-7) << c.name << ", y1 " << y1;
      EXPECT_NEAR(fit.C1, c.expected.C1, 1e-6) << c.name << ", y1 " << y1;
      EXPECT_NEAR(fit.C0, c.expected.C0, 1e-6) << c.name << ", y1 " << y1;
    }
  }
  TCubic fit;
  FitCubic(fit, 1, 0, 2, 3);
  EXPECT_NEAR(EvalCubic(fit, 1), 2e-6, 1e-12);
  EXPECT_NEAR(EvalCubic(fit, 2), 3.000002, 1e-12);
}

TEST(FitCubic, FloatingPointErrorsBecomeTheFitError) {
  EXPECT_EQ(FitErrorMessage(1, 5, 1, 3), "X1 = 1\r\nY1 = 5\r\nX2 = 1\r\nY2 = 3");
  EXPECT_EQ(FitErrorMessage(1.5, -2.5e-7, 1.5, 1234567890123456.0),
            "X1 = 1.5\r\nY1 = -2.5E-7\r\nX2 = 1.5\r\nY2 = 1.23456789012346E15");
  // X2 * X2 does not fit a double: overflow.
  EXPECT_EQ(FitErrorMessage(1, 0, 1e200, 1), "X1 = 1\r\nY1 = 0\r\nX2 = 1E200\r\nY2 = 1");
  // A NaN operand is an invalid operation.
  EXPECT_EQ(FitErrorMessage(std::numeric_limits<double>::quiet_NaN(), 0, 1, 1),
            "X1 = NAN\r\nY1 = 0\r\nX2 = 1\r\nY2 = 1");
}

TEST(FitCubic, CoefficientsStoredBeforeTheErrorKeepTheirValues) {
  // X2 = 0 leaves C3's denominator non-zero but divides C2 by X2 * X2 - X1 * X2 = 0.
  TCubic fit{11, 22, 33, 44};
  EXPECT_EQ(FitErrorMessage(1, 0, 0, 1, &fit), "X1 = 1\r\nY1 = 0\r\nX2 = 0\r\nY2 = 1");
  EXPECT_NEAR(fit.C3, -0.5000005, 1e-12);
  EXPECT_EQ(fit.C2, 22);
  EXPECT_EQ(fit.C1, 33);
  EXPECT_EQ(fit.C0, 44);
}

}  // namespace
}  // namespace quarvel
