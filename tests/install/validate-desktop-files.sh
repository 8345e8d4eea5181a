#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# validate-desktop-files.sh <desktop folder>: the desktop entry and the AppStream metainfo as the
# distribution's own validators see them. Exit 77 (skipped) when neither validator is installed.
set -euo pipefail
dir=$1
ran=0
if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$dir"/*.desktop 2>&1) || { echo "$out"; exit 1; }
    # Hints are advice; errors and warnings fail.
    if echo "$out" | grep -E ': (error|warning):'; then exit 1; fi
    ran=1
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$dir"/*.metainfo.xml
    ran=1
fi
[ "$ran" = 1 ] || { echo "no validator installed"; exit 77; }
