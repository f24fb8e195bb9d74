#!/usr/bin/env bash
# Runs every benchmark built in $1.
set -euo pipefail
build=${1:-build}
# The window benchmarks draw on the offscreen platform, so figures do not depend on a display.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
shopt -s nullglob
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
done
