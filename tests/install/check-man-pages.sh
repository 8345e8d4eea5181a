#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# check-man-pages.sh <qx4100mgr> <tokenctl> <man page folder>: the manual pages render without a
# warning, and every option and command the programs' --help prints is described in its page, so the
# pages cannot fall behind the programs. Exit 77 (skipped) without groff.
set -euo pipefail
mgr=$1 ctl=$2 pages=$3
command -v groff >/dev/null || { echo "groff is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QX4100_TOKEN_STORE=$work/tokens APPDATA=$work/appdata LC_ALL=C.UTF-8
fail=0

for page in "$pages"/qx4100mgr.1 "$pages"/tokenctl.1; do
    groff -ww -z -man -Tutf8 "$page" 2>"$work/groff.log" || true
    if [ -s "$work/groff.log" ]; then echo "groff warns on $page:"; cat "$work/groff.log"; fail=1; fi
    if command -v man >/dev/null; then
        MANROFFSEQ='' man --warnings -E UTF-8 -l "$page" >/dev/null 2>"$work/man.log" || true
        if [ -s "$work/man.log" ]; then echo "man warns on $page:"; cat "$work/man.log"; fail=1; fi
    fi
done

# Each page names the version the program reports.
for prog in "$mgr" "$ctl"; do
    name=$(basename "$prog")
    version=$("$prog" --version | awk '{print $2}')
    grep -q "^\.TH .* \"$name $version\"" "$pages/$name.1" || { echo "$name.1 is not for version $version"; fail=1; }
done

# The page's words as a reader sees them: roff's escaped hyphens and font changes taken out.
plain() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(aq/'"'"'/g' "$1"; }
# Options a help text lists: the words starting with - or -- at the head of its option lines.
options() { grep -E '^ +-' | grep -oE '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[ ,]*//' | sort -u; }
described() { # described <page text> <word> <what>
    grep -qE -- "(^|[^A-Za-z0-9-])$2([^A-Za-z0-9-]|\$)" "$1" || { echo "$3 $2 is not in the page"; fail=1; }
}

plain "$pages/qx4100mgr.1" >"$work/qx4100mgr.txt"
"$mgr" --help >"$work/mgr.help"
for o in $(options <"$work/mgr.help"); do described "$work/qx4100mgr.txt" "$o" "qx4100mgr option"; done
[ "$(options <"$work/mgr.help" | wc -l)" -ge 4 ] || { echo "qx4100mgr --help lists no options:"; cat "$work/mgr.help"; fail=1; }

plain "$pages/tokenctl.1" >"$work/tokenctl.txt"
"$ctl" --help >"$work/ctl.help"
for o in $(options <"$work/ctl.help"); do described "$work/tokenctl.txt" "$o" "tokenctl option"; done
# The commands: the first word of each two-blank-indented line under "Commands:".
commands=$(sed -n '/^Commands:/,/^$/p' "$work/ctl.help" | grep -E '^  [a-z]' | awk '{print $1}')
[ "$(echo "$commands" | wc -w)" -ge 10 ] || { echo "tokenctl --help lists too few commands: $commands"; fail=1; }
for c in $commands; do
    described "$work/tokenctl.txt" "$c" "tokenctl command"
    "$ctl" "$c" --help >"$work/cmd.help"
    for o in $(options <"$work/cmd.help"); do described "$work/tokenctl.txt" "$o" "tokenctl $c option"; done
done
exit $fail
