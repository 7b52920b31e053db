#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, naming only those that are
# missing (naming an installed package could upgrade it). Uses sudo when not root.
# Extra package names given as arguments are installed too.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the tomography core's FFT (header-only C++ template, BSD)
  libkissfft-dev
  fonts-liberation2 fonts-dejavu-core
  # the tomography's array files: TIFF through the distribution's library
  libtiff-dev
  # the JSON file beside a sinogram (header-only, MIT)
  nlohmann-json3-dev
  # the worked example against scikit-image, run by pytest under CTest
  python3-skimage python3-pytest
  # the desktop application: the Wayland platform plugin, the icon renderer, the
  # validators of the desktop entry and the metainfo, a headless Wayland compositor
  qt6-wayland librsvg2-bin desktop-file-utils appstream weston
  # the window suite under X11 (a virtual X server), and the Debian package's checker
  # (it brings dpkg-dev, whose dpkg-buildflags and dpkg-shlibdeps the package build uses)
  xvfb xauth lintian
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
