// Every value out of range is refused with a message naming it, its range and what was
// given; the edges of each range are accepted.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "tomo/Study.h"

namespace quarvel {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct RangeCase {
  const char* name;
  std::function<void(TStudyOptions&)> change;
  const char* message;  // empty: accepted
};

TEST(StudyOptions, ValuesOutOfRangeAreRefusedByName) {
  const RangeCase cases[] = {
      {"views 0", [](auto& o) { o.Geometry.Views = 0; }, "views must be from 1 to 100000, not 0"},
      {"views 1", [](auto& o) { o.Geometry.Views = 1; }, ""},
      {"views 100000", [](auto& o) { o.Geometry.Views = 100000; }, ""},
      {"views 100001", [](auto& o) { o.Geometry.Views = 100001; },
       "views must be from 1 to 100000, not 100001"},
      {"arc 0", [](auto& o) { o.Geometry.ArcDegrees = 0; },
       "arc must be greater than 0 and at most 360 degrees, not 0"},
      {"arc tiny", [](auto& o) { o.Geometry.ArcDegrees = 1e-300; }, ""},
      {"arc 360", [](auto& o) { o.Geometry.ArcDegrees = 360; }, ""},
      {"arc 360.5", [](auto& o) { o.Geometry.ArcDegrees = 360.5; },
       "arc must be greater than 0 and at most 360 degrees, not 360.5"},
      {"arc nan", [](auto& o) { o.Geometry.ArcDegrees = kNan; }, "arc must be greater than 0"},
      {"detectors 1", [](auto& o) { o.Geometry.Detectors = 1; },
       "detectors must be from 2 to 10000, not 1"},
      {"detectors 2", [](auto& o) { o.Geometry.Detectors = 2; }, ""},
      {"detectors 10001", [](auto& o) { o.Geometry.Detectors = 10001; },
       "detectors must be from 2 to 10000, not 10001"},
      {"cutoff 0", [](auto& o) { o.Fbp.Cutoff = 0; },
       "cutoff must be greater than 0 and at most 1, not 0"},
      {"cutoff 1", [](auto& o) { o.Fbp.Cutoff = 1; }, ""},
      {"cutoff 1.5", [](auto& o) { o.Fbp.Cutoff = 1.5; },
       "cutoff must be greater than 0 and at most 1, not 1.5"},
      {"iterations 0", [](auto& o) { o.Iterations = 0; },
       "iterations must be from 1 to 100000, not 0"},
      {"iterations 100000", [](auto& o) { o.Iterations = 100000; }, ""},
      {"iterations 100001", [](auto& o) { o.Iterations = 100001; },
       "iterations must be from 1 to 100000, not 100001"},
      {"photons 0", [](auto& o) { o.Photons = 0; },
       "photons must be finite and greater than 0, not 0"},
      {"photons -1", [](auto& o) { o.Photons = -1; },
       "photons must be finite and greater than 0, not -1"},
      {"photons inf", [](auto& o) { o.Photons = kInf; },
       "photons must be finite and greater than 0"},
      {"photons tiny", [](auto& o) { o.Photons = 1e-300; }, ""},
      {"grid size 7", [](auto& o) { o.GridSize = 7; }, "grid size must be from 8 to 4096, not 7"},
      {"grid size 4096", [](auto& o) { o.GridSize = 4096; }, ""},
      {"relaxation 0", [](auto& o) { o.Method = TReconstructionMethod::Sirt, o.Relaxation = 0; },
       "relaxation must be greater than 0 and less than 2, not 0"},
      {"relaxation 2", [](auto& o) { o.Method = TReconstructionMethod::Sart, o.Relaxation = 2; },
       "relaxation must be greater than 0 and less than 2, not 2"},
      {"relaxation 1.99",
       [](auto& o) { o.Method = TReconstructionMethod::Sart, o.Relaxation = 1.99; }, ""},
      {"CGLS relaxed", [](auto& o) { o.Method = TReconstructionMethod::Cgls, o.Relaxation = 0.5; },
       "CGLS takes no relaxation"},
      {"CGLS non-negative",
       [](auto& o) { o.Method = TReconstructionMethod::Cgls, o.NonNegative = true; },
       "CGLS takes no non-negativity"},
      {"spacing 0", [](auto& o) { o.Geometry.Spacing = 0; },
       "detector spacing must be finite and greater than 0, not 0"},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TStudyOptions options;
    c.change(options);
    if (*c.message == 0) {
      EXPECT_NO_THROW(CheckStudyOptions(options));
      continue;
    }
    try {
      CheckStudyOptions(options);
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidStudyValue& e) {
      EXPECT_EQ(e.Message().rfind(c.message, 0), 0u) << e.Message();
    }
  }
}

TEST(StudyOptions, GeometryErrorsAreGeometryErrors) {
  TScanGeometry noViews, negativeArc;
  noViews.Views = 0;
  negativeArc.ArcDegrees = -1;
  EXPECT_THROW(CheckGeometry(noViews), EInvalidGeometry);
  EXPECT_THROW(CheckGeometry(negativeArc), EInvalidGeometry);
}

// A field counts where it changes the result: the seed only with noise, the filter only
// for FBP, the iterative fields only for the iterative methods; the grid always (it
// scales the noise and the exact projector's scan).
TEST(StudySettings, WhatDecidesTheSinogramAndTheStudy) {
  const struct {
    const char* name;
    std::function<void(TStudySettings&)> change;
    bool sameSinogram, sameStudy;
  } cases[] = {
      {"nothing", [](TStudySettings&) {}, true, true},
      {"views", [](TStudySettings& s) { s.Geometry.Views = 90; }, false, false},
      {"projector", [](TStudySettings& s) { s.Projector = TProjectorKind::Exact; }, false, false},
      {"grid", [](TStudySettings& s) { s.GridSize = 64; }, false, false},
      {"photons", [](TStudySettings& s) { s.Photons = 1e4; }, false, false},
      {"seed without noise", [](TStudySettings& s) { s.Seed = 3; }, true, true},
      {"filter of FBP", [](TStudySettings& s) { s.Fbp.Window = TFilterWindow::Hann; }, true, false},
      {"cutoff of FBP", [](TStudySettings& s) { s.Fbp.Cutoff = 0.5; }, true, false},
      {"iterations of FBP", [](TStudySettings& s) { s.Iterations = 3; }, true, true},
      {"relaxation of FBP", [](TStudySettings& s) { s.Relaxation = 0.5; }, true, true},
      {"method", [](TStudySettings& s) { s.Method = TReconstructionMethod::Cgls; }, true, false},
  };
  for (const auto& c : cases) {
    TStudySettings a, b;
    c.change(b);
    EXPECT_EQ(SameSinogram(a, b), c.sameSinogram) << c.name;
    EXPECT_EQ(SameStudy(a, b), c.sameStudy) << c.name;
    EXPECT_EQ(SameStudy(b, a), c.sameStudy) << c.name;
  }
  // Noisy and iterative: now the seed and the iterative fields count, the filter does not.
  const struct {
    const char* name;
    std::function<void(TStudySettings&)> change;
    bool sameSinogram, sameStudy;
  } iterative[] = {
      {"seed", [](TStudySettings& s) { s.Seed = 3; }, false, false},
      {"filter", [](TStudySettings& s) { s.Fbp.Window = TFilterWindow::Hann; }, true, true},
      {"iterations", [](TStudySettings& s) { s.Iterations = 3; }, true, false},
      {"relaxation", [](TStudySettings& s) { s.Relaxation = 0.5; }, true, false},
      {"clipping", [](TStudySettings& s) { s.NonNegative = true; }, true, false},
  };
  for (const auto& c : iterative) {
    TStudySettings a;
    a.Photons = 1e4;
    a.Method = TReconstructionMethod::Sart;
    TStudySettings b = a;
    c.change(b);
    EXPECT_EQ(SameSinogram(a, b), c.sameSinogram) << c.name;
    EXPECT_EQ(SameStudy(a, b), c.sameStudy) << c.name;
  }
}

}  // namespace
}  // namespace quarvel
