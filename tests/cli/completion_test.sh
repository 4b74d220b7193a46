#!/usr/bin/env bash
# completion_test.sh FILE: what the bash completion of vostrel offers.
set -u
source "$1"
failures=0

# expect "WORDS TYPED SO FAR" "CURRENT WORD" "EXPECTED OFFERS"
expect() {
    local line=$1 current=$2 expected=$3
    read -r -a COMP_WORDS <<<"$line"
    COMP_WORDS+=("$current")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vostrel
    local got="${COMPREPLY[*]}"
    if [[ $got != "$expected" ]]; then
        echo "'$line $current': expected '$expected', got '$got'"
        failures=$((failures + 1))
    fi
}

expect "vostrel" "" "list hubs port watch times recovery log monitor version --help --version"
expect "vostrel" "wa" "watch"
expect "vostrel watch" "" "add remove list --help"
expect "vostrel watch list" "--j" "--json"
expect "vostrel port 0 2" "" "on off cycle toggle"
expect "vostrel port --location 1-1 --port 4" "t" "toggle"
expect "vostrel hubs" "--v" "--vid-pid"
expect "vostrel port --serial CAM-1" "c" "cycle"
expect "vostrel port --hub VH0002A 1" "o" "on off"
expect "vostrel watch add" "--h" "--help --hub"
expect "vostrel watch remove --location 1-1.4" "--p" "--port"
expect "vostrel port" "--h" "--help --hub"
expect "vostrel port 0 2 cycle" "--off" "--off-time"
expect "vostrel --state-dir /tmp recovery" "s" "status"
expect "vostrel log" "--f" "--follow"
expect "vostrel monitor" "--" "--help --state-dir"
expect "vostrel version" "--" "--help --state-dir"
expect "vostrel explode" "" ""
exit $((failures > 0))
