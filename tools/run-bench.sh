#!/usr/bin/env bash
# Runs every benchmark built in $1.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
done
