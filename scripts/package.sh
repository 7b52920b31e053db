#!/usr/bin/env bash
# Builds the Debian package as the distribution builds its own: in a build folder of its
# own, with the distribution's hardening flags (dpkg-buildflags with every hardening
# feature, and control-flow protection, which Debian 12's dpkg does not add yet), the
# programs alone (no tests, no benchmarks), then `cpack -G DEB`: quarvel-view, and
# python3-quarvel with the Python module where Debian's python3 finds it.
#   scripts/package.sh [BUILD_DIR [OUT_DIR]]   (default build/deb-build and build)
# The optimisation stays the build type's -O2 and the floating-point options those of
# CMakeLists.txt, so the packaged programs compute the same numbers and pixels as the
# tested ones.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build/deb-build}
out=${2:-$source_dir/build}

command -v dpkg-buildflags >/dev/null ||
  { echo "package.sh: dpkg-buildflags not found (it comes with dpkg-dev)" >&2; exit 1; }
# Run in the source folder: -ffile-prefix-map then maps it to "." in the debug paths.
cd "$source_dir"
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cflags="$(flag CPPFLAGS) $(flag CXXFLAGS)"
case $(dpkg --print-architecture) in
  amd64 | i386) cflags+=" -fcf-protection" ;;
  arm64) cflags+=" -mbranch-protection=standard" ;;
esac
for bad in -O0 -O1 -O3 -Ofast -ffast-math -funsafe-math-optimizations; do
  case " $cflags " in *" $bad "*) echo "package.sh: refusing the flag $bad from dpkg-buildflags" >&2; exit 1 ;; esac
done

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=$cflags" "-DCMAKE_EXE_LINKER_FLAGS=$(flag LDFLAGS)" \
  "-DCMAKE_MODULE_LINKER_FLAGS=$(flag LDFLAGS)" -DQUARVEL_PYTHON_INSTALL_DIR=lib/python3/dist-packages \
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_SKIP_INSTALL_RPATH=ON >/dev/null
cmake --build "$build"
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake"
