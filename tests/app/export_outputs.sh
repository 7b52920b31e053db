#!/usr/bin/env bash
# quarvel-export's outputs as a shell uses them: descriptor names written in place
# (appending with >>, into a pipe), a path at the system's limit, a CSV far larger than
# the address space allows to hold whole (written in chunks), work refused up front when
# it cannot fit, and phantoms whose arithmetic would trap. Every case prints its name;
# the last line counts them.
#   export_outputs.sh <quarvel-export>
set -u
export QT_QPA_PLATFORM=offscreen
E=$(realpath "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
passed=0 failed=0 skipped=0
check() {  # name, then a command that must succeed
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
# The same for a case run under `ulimit -v`. A sanitizer's build reserves terabytes of
# address space for its shadow memory before main, so there such a limit stops the
# program before it starts (QUARVEL_NO_ADDRESS_LIMIT, set by the build): skipped, said.
check_limited() {
  if [ -n "${QUARVEL_NO_ADDRESS_LIMIT:-}" ]; then
    skipped=$((skipped + 1))
    echo "skipped: $1 (no address-space limit under a sanitizer)"
  else
    check "$@"
  fi
}

# /dev/stdout, /dev/fd/N and /proc/self/fd/N are written through the open descriptor:
# ">>" appends to what was there, a pipe takes the bytes.
append() {
  printf 'earlier row\n' > log.csv
  "$E" metrics /dev/stdout >> log.csv && "$E" metrics /proc/self/fd/1 >> log.csv &&
    "$E" metrics /dev/fd/3 3>> log.csv || return 1
  [ "$(head -1 log.csv)" = "earlier row" ] && [ "$(grep -c '^rmse' log.csv)" = 3 ]
}
check "append through descriptor names" append
pipe() { [ "$("$E" metrics /dev/stdout | cat | head -1)" = "rmse,nrmse,psnr,ssim" ]; }
check "a pipe as /dev/stdout" pipe
closed() {
  "$E" metrics /dev/fd/9 2> err.txt
  [ $? = 1 ] && grep -q "cannot write /dev/fd/9: Bad file descriptor" err.txt
}
check "a closed descriptor is an output error" closed

# A name that just fits the path limit, in a folder nested as deep as it goes: the
# temporary name beside it would not fit as a path, and must not be needed as one.
long_path() {
  local folder=$dir name
  for _ in $(seq 16); do folder=$folder/$(printf 'd%.0s' $(seq 250)); done
  mkdir -p "$folder" || return 1
  name=$folder/$(printf 'x%.0s' $(seq $((4090 - ${#folder} - 5)))).csv
  "$E" metrics "$name" && [ -s "$name" ] && [ "$(ls -A "$folder" | wc -l)" = 1 ]
}
check "a 4090-byte output path" long_path

# Under a 900 MB address space the 359 MB CSV is written whole: the text is never held.
big_csv() {
  (ulimit -v 900000 && "$E" sinogram s.csv --views 1000 --detectors 10000) || return 1
  [ "$(wc -l < s.csv)" = 10000001 ] && [ "$(tail -1 s.csv)" = "999,179.82,9999,747.9566929133858,0" ]
}
check_limited "a CSV larger than the memory allowed" big_csv

# Work that cannot fit is refused before anything is computed, with both figures.
refused() {
  (ulimit -v 900000 && "$E" sinogram s.npy --views 100000 --detectors 10000 2> err.txt)
  [ $? = 2 ] && [ ! -e s.npy ] &&
    grep -Eq "^quarvel-export: sinogram of 100000 views of 10000 bins needs about 8\.1 GB, [0-9.]+ MB available$" err.txt
}
check_limited "work larger than the memory allowed" refused
# The images count too: nine of 4096 x 4096 doubles are 1.2 GB.
large_grid() {
  (ulimit -v 900000 && "$E" reconstruction r.npy --grid-size 4096 --method sirt 2> err.txt)
  [ $? = 2 ] && [ ! -e r.npy ] && grep -Eq "needs about 1\.[0-9] GB, [0-9.]+ MB available$" err.txt
}
check_limited "a grid whose images do not fit" large_grid

# Accepted phantoms and options whose arithmetic would trap: refused naming the blob, or
# computed to finite values.
dense() {
  printf 'mx,dx,my,dy\n5,1,5,1\n9.976377952755906,1e-300,9.976377952755906,1e-300\n' > p.csv
  "$E" metrics m.csv --phantom p.csv 2> err.txt
  [ $? = 2 ] && grep -q "^quarvel-export: blob 2 is too dense" err.txt && [ ! -e m.csv ]
}
check "a blob too dense for the chain" dense
tiny_cutoff() {
  "$E" metrics - --cutoff 5e-324 > m.csv && ! grep -Eq 'nan|inf' m.csv && [ "$(wc -l < m.csv)" = 2 ]
}
check "the smallest cutoff" tiny_cutoff

# Standard input and output may be the same file that is no regular file (a terminal,
# /dev/null): that is not writing over the phantom file.
same_device() {
  "$E" metrics - --phantom - < /dev/null > /dev/null 2> err.txt
  [ $? = 2 ] && ! grep -q "is the phantom file" err.txt && grep -q "^quarvel-export: standard input" err.txt
}
check "standard input and output on one device" same_device

# Messages stay one short line; a repeated option and an empty name are usage errors.
usage() {
  local long
  long=$(printf '9%.0s' $(seq 100000))
  "$E" metrics m.csv --views "$long" 2> err.txt
  [ $? = 2 ] && [ "$(wc -l < err.txt)" = 1 ] && [ "$(wc -c < err.txt)" -lt 300 ] || return 1
  "$E" metrics m.csv --views 5 --views 7 2> err.txt
  [ $? = 2 ] && grep -q "views is given 2 times" err.txt || return 1
  "$E" metrics m.csv --phantom '' 2> err.txt
  [ $? = 2 ] && grep -q "the phantom file's name is empty" err.txt || return 1
  "$E" metrics '' 2> err.txt
  [ $? = 2 ] && grep -q "the output file's name is empty" err.txt
}
check "usage errors" usage

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
