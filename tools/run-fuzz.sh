#!/usr/bin/env bash
# Runs every fuzz target built in $1 for $2 seconds, starting from its seed corpus.
set -euo pipefail
build=$1
seconds=${2:-20}
shopt -s nullglob
targets=("$build"/tests/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets built"
    exit 0
fi
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$build/tests/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="$build/tests/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    echo "== $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "$corpus" $seeds
done
