#!/usr/bin/env bash
# Creates a fresh demo machine under the build folder and runs the unattended check on it:
# one scan, automatic repair, the action report, and the machine's restart, which carries out
# the moves the check scheduled. Prints where the report is and what the restart did.
# With --wine the machine is a Wine prefix made by wineboot (build/demo-wine), whose restart is
# Wine's own wineboot -r. The programs are the build's, or those installed in $VELTO_BIN (the
# package's test runs the demo from the installed files that way).
set -euo pipefail
build=${1:-build}
kind=${2:-}
tool=${VELTO_BIN:-$build/tools}/velto-machine
vlt=${VELTO_BIN:-$build/vlt}/vlt
if [[ "$kind" == "--wine" ]]; then
    machine="$build/demo-wine"
    temp="$machine/drive_c/windows/temp"
    tempShown='C:\windows\temp'
else
    machine="$build/demo-machine"
    temp="$machine/drives/C/WINDOWS/TEMP"
    tempShown='C:\WINDOWS\TEMP'
fi
rm -rf "$machine"
"$tool" create "$machine" $kind --demo
"$tool" info "$machine"

echo
echo "Running: vlt --machine $machine -S"
# No terminal: every question takes its least destructive answer; nothing is launched.
status=0
output=$(VELTO_NO_LAUNCH=1 "$vlt" --machine "$machine" -S </dev/null 2>"$build/demo-vlt.log") ||
    status=$?
echo "vlt ended with status $status (its dialogs: $build/demo-vlt.log)"

# vlt -S ends with where its report and backups are, then what the restart did; when it
# names no report, the newest one in the machine's temp folder is shown.
summary=$(grep -E '^(report|backups): ' <<<"$output" || true)
moves=$(grep -vE '^(report|backups): ' <<<"$output" || true)
if [[ -n "$summary" ]]; then
    echo "$summary"
else
    report=$(grep -l '^<html><head><title>' "$temp"/VLT*.tmp 2>/dev/null | xargs -r ls -t | head -n 1 || true)
    if [[ -n "$report" ]]; then
        echo "Action report: $report ($tempShown\\$(basename "$report"))"
    else
        echo "No action report was written."
    fi
fi
echo "Moves the restart carried out:"
if [[ -n "$moves" ]]; then
    sed 's/^restart: /  /' <<<"$moves"
else
    echo "  none (no restart was needed)"
fi
exit "$status"
