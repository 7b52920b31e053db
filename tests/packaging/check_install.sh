#!/usr/bin/env bash
# The installed application as a user gets it, from `cmake --install` or from the
# Debian package: the files in their places and nothing else, a desktop entry and
# metainfo that validate, icons of their sizes, man pages that render, and programs
# that run from where they were installed. The package is built as `make package` builds
# it (scripts/package.sh, in BUILD_DIR/deb-build) and lintian finds nothing to warn of.
# With PYTHON_DIR (where the install puts the Python module, under the prefix), the
# module is there too, and in the package python3-quarvel, and imports from both.
#   check_install.sh install|deb BUILD_DIR APP_ID VERSION [PYTHON_DIR]
set -euo pipefail
# A package's summary, the first line of its description. Not through `| head -1`: under
# pipefail, dpkg-deb killed by the pipe head closed early would fail the check at random.
summary_of() {
  local description
  description=$(dpkg-deb -f "$1" Description)
  printf '%s' "${description%%$'\n'*}"
}
mode=$1 build=$2 id=$3 version=$4 python_dir=${5:-}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

expected_files() {
  printf '%s\n' \
    bin/quarvel-export \
    bin/quarvel-view \
    "share/applications/$id.desktop" \
    "share/icons/hicolor/256x256/apps/$id.png" \
    "share/icons/hicolor/48x48/apps/$id.png" \
    "share/icons/hicolor/scalable/apps/$id.svg" \
    share/doc/quarvel-view/changelog.gz \
    share/doc/quarvel-view/copyright \
    share/man/man1/quarvel-export.1.gz \
    share/man/man1/quarvel-view.1.gz \
    "share/metainfo/$id.metainfo.xml" | sort
}

python_files() {  # the module's files under the prefix, for the python dir $1
  [ -n "$python_dir" ] && [ -n "$1" ] || return 0
  local dir=$1 suffix
  suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
  printf '%s\n' "$dir/quarvel/__init__.py" "$dir/quarvel/_quarvel$suffix" "$dir/quarvel/sweep.py" \
    share/doc/python3-quarvel/changelog.gz share/doc/python3-quarvel/copyright
}

check_module() {  # the module under $1/$2 imports and computes
  [ -n "$python_dir" ] || return 0
  PYTHONPATH="$1/$2" /usr/bin/python3 -c '
import quarvel, sys
assert quarvel.__file__.startswith(sys.argv[1]), quarvel.__file__
scan = quarvel.parallel(30)
print(quarvel.metrics(quarvel.fbp(quarvel.project(quarvel.phantom(), scan), scan), quarvel.phantom()))
' "$1/$2" >/dev/null || fail "import quarvel from $1/$2"
}

check_files() {  # the installed tree under $1
  local root=$1
  diff -u <({ expected_files; python_files "$installed_python_dir"; } | sort) <(cd "$root" && find . -type f -printf '%P\n' -o -type l -printf '%P\n' | sort) ||
    fail "the installed files differ from the expected list (- expected, + installed)"

  desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli validate --no-net"; }

  # The entry starts the installed viewer and shows the installed icon; the metainfo
  # launches this entry.
  grep -qx "Exec=quarvel-view" "$root/share/applications/$id.desktop" || fail "the entry's Exec is not quarvel-view"
  grep -qx "Icon=$id" "$root/share/applications/$id.desktop" || fail "the entry's Icon is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"
  grep -q "<id>$id</id>" "$root/share/metainfo/$id.metainfo.xml" || fail "the metainfo's id is not $id"
  # The licence of LICENSE, in the metainfo and the copyright file.
  grep -q "<project_license>MIT</project_license>" "$root/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's licence is not MIT"
  grep -qx "License: MIT" "$root/share/doc/quarvel-view/copyright" || fail "the copyright file's licence is not MIT"

  for size in 48 256; do
    file "$root/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
      fail "the ${size} px icon is not a ${size} x ${size} PNG"
  done
  for page in quarvel-view quarvel-export; do
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
  done
}

check_programs() {  # the programs under $1 run from there
  local root=$1
  [ "$("$root/bin/quarvel-export" --version)" = "quarvel-export $version" ] || fail "installed quarvel-export --version"
  [ "$("$root/bin/quarvel-view" --version)" = "quarvel-view $version" ] || fail "installed quarvel-view --version"
  local out="$work/grid.png"
  "$root/bin/quarvel-export" grid "$out" || fail "installed quarvel-export grid"
  file "$out" | grep -q "PNG image data, 128 x 128," || fail "installed quarvel-export wrote no 128 x 128 grid"
}

case $mode in
  install)
    cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
    installed_python_dir=$python_dir
    check_files "$work/prefix"
    check_programs "$work/prefix"
    check_module "$work/prefix" "$python_dir"
    ;;
  deb)
    bash "$source_dir/scripts/package.sh" "$build/deb-build" "$work/pkg" >"$work/package.log" 2>&1 ||
      { cat "$work/package.log"; fail "scripts/package.sh"; }
    deb=$(find "$work/pkg" -maxdepth 1 -name 'quarvel-view_*.deb')
    [ -n "$deb" ] || fail "scripts/package.sh wrote no quarvel-view .deb"
    if [ -n "$python_dir" ]; then
      pydeb=$(find "$work/pkg" -maxdepth 1 -name 'python3-quarvel_*.deb')
      [ -n "$pydeb" ] || fail "scripts/package.sh wrote no python3-quarvel .deb"
      status=0
      lintian --info "$pydeb" >"$work/lintian-python.log" 2>&1 || status=$?
      cat "$work/lintian-python.log"
      ! grep -E '^[EW]: |^I: .* (hardening-|binary-has-unneeded-section)' "$work/lintian-python.log" >/dev/null ||
        fail "lintian reports errors, warnings or an unhardened binary in python3-quarvel"
      [ $status -eq 0 ] || fail "lintian exits with status $status on python3-quarvel"
      [ "$(dpkg-deb -f "$pydeb" Version)" = "$version" ] || fail "python3-quarvel version is not $version"
      pysummary=$(summary_of "$pydeb")
      [[ "$pysummary" == "Python module"* ]] || fail "python3-quarvel's summary: $pysummary"
      pydepends=$(dpkg-deb -f "$pydeb" Depends)
      for dep in python3-numpy libc6 libstdc++6; do
        grep -q "$dep" <<<"$pydepends" || fail "python3-quarvel's Depends lacks $dep: $pydepends"
      done
      diff -u <(python_files lib/python3/dist-packages | sort) \
        <(dpkg-deb -c "$pydeb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort) ||
        fail "python3-quarvel holds other files than the module (- expected, + packaged)"
      dpkg-deb -x "$pydeb" "$work/pyroot"
      check_module "$work/pyroot/usr" lib/python3/dist-packages
    fi
    # No error and no warning; of the notes, none on hardening or needless sections
    # (the package build's flags and the stripped install see to those).
    status=0
    lintian --info "$deb" >"$work/lintian.log" 2>&1 || status=$?
    cat "$work/lintian.log"
    ! grep -E '^[EW]: ' "$work/lintian.log" >/dev/null || fail "lintian reports errors or warnings"
    [ $status -eq 0 ] || fail "lintian exits with status $status"
    ! grep -E '^I: .* (hardening-|binary-has-unneeded-section)' "$work/lintian.log" >/dev/null ||
      fail "lintian finds a binary not hardened or not stripped"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    [ "$(dpkg-deb -f "$deb" Section)" = "science" ] || fail "package section"
    summary=$(summary_of "$deb")
    [ "$summary" = "viewer of a projection phantom and its zero projection" ] ||
      fail "package summary: $summary"
    [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 1 ] || fail "package description"
    # dpkg-shlibdeps filled in the toolkit's libraries.
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
      grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
    done
    # The package holds the installed files under /usr, and nothing else.
    diff -u <(expected_files | sed 's|^|usr/|') \
      <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort) ||
      fail "dpkg-deb -c lists other files than the install (- expected, + packaged)"
    dpkg-deb -x "$deb" "$work/root"
    installed_python_dir=
    check_files "$work/root/usr"
    check_programs "$work/root/usr"
    ;;
  *) fail "unknown mode $mode" ;;
esac
echo "ok: $mode"
