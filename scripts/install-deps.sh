#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# Installs the Debian 12 packages the build, the tests and the demo need; does nothing when all are present.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
      qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl1-mesa-dev libssl-dev openssl libudev-dev
      fonts-noto-cjk xvfb xauth x11-apps imagemagick
      desktop-file-utils appstream file libp11-kit-dev softhsm2 opensc lintian groff-base man-db)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
