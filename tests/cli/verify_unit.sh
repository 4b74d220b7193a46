#!/bin/sh
# verify_unit.sh SYSTEMD_ANALYZE UNIT PROGRAM: systemd-analyze verify on UNIT,
# with its ExecStart program replaced by PROGRAM (the installed one need not
# exist yet).
set -eu
analyze=$1 unit=$2 program=$3
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
grep -q '^ExecStart=[^ ]* monitor --state-dir %S/vostrel$' "$unit"
sed "s|^ExecStart=[^ ]*|ExecStart=$program|" "$unit" >"$folder/$(basename "$unit")"
"$analyze" verify "$folder/$(basename "$unit")"
