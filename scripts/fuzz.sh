#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 600) on its seed corpus in fuzz/corpus/<target>. New inputs go to
# build-fuzz/corpus/<target>; crashes to build-fuzz/crashes/. A finding becomes a
# regression test by copying it to fuzz/regressions/<target>/ (the suite replays that
# folder and the seed corpus through each target: tests fuzz_replay_<target>), with the
# fault mended.
#   scripts/fuzz.sh [seconds] [target ...]     targets: format_pattern decimal chart phantom npy tomography
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh clang libclang-rt-14-dev
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(format_pattern decimal chart phantom npy tomography)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARVEL_FUZZ=ON -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target $(printf 'fuzz_%s ' "${targets[@]}")

mkdir -p build-fuzz/crashes
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== fuzz_$t for ${seconds}s"
  QT_QPA_PLATFORM=offscreen ./build-fuzz/fuzz/fuzz_$t -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build-fuzz/crashes/$t- -max_len=4096 -len_control=0 "build-fuzz/corpus/$t" "fuzz/corpus/$t"
done
