#!/usr/bin/env bash
# Compares a vendor library's exported symbols with the names its version
# script lists as global: the twelve functions the hub library resolves.
set -eu
library=$1
script=$2
expected=$(sed -n 's/^ *\(Mchp[A-Za-z0-9_]*\);.*/\1/p' "$script" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | grep -v '^$' | sort)
if [ "$(echo "$expected" | wc -l)" -ne 12 ]; then
  echo "the version script lists $(echo "$expected" | wc -l) names, not 12"; exit 1
fi
if [ "$expected" != "$actual" ]; then
  echo "exported names differ from the version script:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "12 exports, as listed"
