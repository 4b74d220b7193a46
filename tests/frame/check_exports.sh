#!/usr/bin/env bash
# Compares the shared library's exported symbols with the 30 names listed in
# the module-definition file.
set -eu
library=$1
definitions=$2
expected=$(sed -n 's/^ *\(Hub_[A-Za-z0-9_]*\).*/\1/p' "$definitions" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | grep -v '^$' | sort)
if [ "$(echo "$expected" | wc -l)" -ne 30 ]; then
  echo "the definition file lists $(echo "$expected" | wc -l) names, not 30"; exit 1
fi
if [ "$expected" != "$actual" ]; then
  echo "exported names differ from the definition file:"
  diff <(echo "$expected") <(echo "$actual") 2>/dev/null || printf 'expected:\n%s\nactual:\n%s\n' "$expected" "$actual"
  exit 1
fi
echo "30 exports, as listed"
