#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# check-deb-lintian.sh <build dir> <cpack>: builds the Debian package of a finished build and runs
# lintian on it. Errors fail the test; warnings and informational tags are printed and pass.
# Exit 77 (skipped) without lintian or the Debian packaging tools.
set -euo pipefail
build=$1 cpack=$2
for tool in lintian dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    exit 1
}
debs=("$work"/*.deb)
[ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ] || { echo "expected one package, found: ${debs[*]}"; exit 1; }
# Tags are E: error, W: warning, I: info, P: pedantic; lintian itself failing counts as an error too.
status=0
lintian --tag-display-limit 0 --info "${debs[0]}" >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
if grep -q '^E: ' "$work/lintian.log"; then
    echo "lintian reports errors (above)"
    exit 1
fi
# Without errors lintian exits 0 or, on older versions, 1 for warnings; anything else is its own failure.
[ "$status" -le 1 ] || { echo "lintian failed with status $status"; exit 1; }
exit 0
