#!/usr/bin/env bash
# `vostrel list --json` on the simulator's 32-hub bench, the whole process
# from start to exit, measured with hyperfine; prints hyperfine's summary
# and the median.
#   benchmarks/vostrel_list.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp simulator/examples/32-hubs.json "$work/bench.json"
export VOSTREL_SIM_BENCH="$work/bench.json" VOSTREL_USBSTACK="$build/bin/simulator/libvostrel_simstack.so"
export LD_LIBRARY_PATH="$build/bin/simulator${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
cd "$work"
hyperfine --warmup 10 --runs 200 --export-json "$work/result.json" "'$build/bin/vostrel' list --json"
jq -r '.results[0] | "median \(.median * 1000 | . * 100 | round / 100) ms, mean \(.mean * 1000 | . * 100 | round / 100) ms"' "$work/result.json"
