#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# check-deb-package.sh <build dir> <cpack>: builds the Debian package of a finished build into a
# temporary folder and checks what it holds: the programs, the private libraries found through the
# run path, the data, the desktop integration, and dependencies computed from the binaries.
# Exit 77 (skipped) without the Debian packaging tools.
set -euo pipefail
build=$1 cpack=$2
for tool in dpkg-deb dpkg-shlibdeps readelf; do
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
deb=${debs[0]}
fail=0
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"

libdir=$(grep -o '^/usr/lib/.*qx4100/$' "$work/files" | head -1)
[ -n "$libdir" ] || { echo "no private library folder /usr/lib/[arch/]qx4100/"; fail=1; }
for f in /usr/bin/qx4100mgr /usr/bin/tokenctl \
    "${libdir}libTokenMgr.so.1" "${libdir}zkeyra_qx4100.so" \
    /usr/share/qx4100/Languages/EN_1033.lng /usr/share/qx4100/Languages/CHS_2052.lng \
    /usr/share/qx4100/res/top_img.jpg /usr/share/qx4100/res/GS.jpg /usr/share/qx4100/res/tree_images.png \
    /usr/share/applications/com.vostrel.qx4100mgr.desktop \
    /usr/share/metainfo/com.vostrel.qx4100mgr.metainfo.xml \
    /usr/share/icons/hicolor/48x48/apps/com.vostrel.qx4100mgr.png \
    /usr/share/icons/hicolor/256x256/apps/com.vostrel.qx4100mgr.png \
    /usr/share/man/man1/qx4100mgr.1.gz /usr/share/man/man1/tokenctl.1.gz \
    /usr/share/doc/qx4100mgr/copyright /usr/share/doc/qx4100mgr/changelog.gz; do
    grep -qxF "$f" "$work/files" || { echo "missing from the package: $f"; fail=1; }
done
# Nothing outside /usr, nothing a test or a developer's helper left in the build.
if grep -v '^/$' "$work/files" | grep -v '^/usr/' ; then echo "files outside /usr (above)"; fail=1; fi
if grep -E '/(tst_|fuzz_|qxshot|bench_)' "$work/files"; then echo "build helpers in the package (above)"; fail=1; fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libssl3; do
    echo "$depends" | grep -qE "(^|, )$d( |,|$)" || { echo "dependency missing: $d"; fail=1; }
done

dpkg-deb -x "$deb" "$work/root"
runpath=$(readelf -d "$work/root/usr/bin/qx4100mgr" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
rel=${libdir#/usr/}
[ "$runpath" = "\$ORIGIN/../${rel%/}" ] || { echo "qx4100mgr run path is '$runpath'"; fail=1; }
# Stripped: the package carries no debugging sections.
if readelf -S "$work/root/usr/bin/qx4100mgr" | grep -q '\.debug_info'; then echo "qx4100mgr is not stripped"; fail=1; fi
# The metainfo's newest release is the packaged version.
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" "$work/root/usr/share/metainfo/com.vostrel.qx4100mgr.metainfo.xml" ||
    { echo "the metainfo has no release $version"; fail=1; }
# The changelog's newest entry is the packaged version.
top=$(zcat "$work/root/usr/share/doc/qx4100mgr/changelog.gz" | head -1)
[[ "$top" == "qx4100mgr ($version) "* ]] || { echo "the changelog starts with '$top', not version $version"; fail=1; }
exit $fail
