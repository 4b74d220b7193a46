#!/usr/bin/env bash
# vostrel.exe under Wine on the simulator's two-hub bench: the hubs as JSON,
# a port switched off and on again (seen on the bench), the exit codes, and
# the state folder in the user's local application data unless --state-dir.
#   vostrel_wine_test.sh BIN_DIR EXAMPLES_DIR
set -euo pipefail
bin=$1 examples=$2
wine=${VOSTREL_WINE64:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
work=$(mktemp -d)
monitor=""
cleanup() {
  if [ -n "$monitor" ]; then kill "$monitor" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp "$examples/two-hubs-usb3.json" "$work/bench.json"
export VOSTREL_SIM_BENCH="Z:$work/bench.json" VOSTREL_USBSTACK="Z:$bin/vostrel_simstack.dll"
state="Z:$work"

vostrel() { "$wine" "$bin/vostrel.exe" "$@" | tr -d '\r'; }
expect() {  # NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true; exit 1
  fi
  echo "ok: $1"
}
bench_port() { "$wine" "$bin/vostrel-sim.exe" --bench "Z:$work/bench.json" show | tr -d '\r' | grep -F "$1" | sed 's/^ *//'; }

json=$(vostrel list --json --state-dir "$state")
expect "list --json: two hubs" '"hubCount":2' "$(grep -o '"hubCount":[0-9]*' <<<"$json")"
expect "list --json: hub 0's second port" \
  '{"port":2,"power":"on","status":"DeviceConnected","statusCode":1,"vendorId":"7E57","productId":"0B30","manufacturer":"Orrin Storage","product":"Portable SSD","serial":"S3X0000917","watched":false}' \
  "$(grep -o '{"port":2,"power":"on"[^}]*}' <<<"$json" | head -n1)"

expect "port 0 2 off" "hub 0 port 2: power off" "$(vostrel port 0 2 off --state-dir "$state")"
expect "the port is off on the bench" \
  'port 2 (off): drive [0-1.2] 0x7E57:0x0B30 "Orrin Storage" "Portable SSD", super speed, working; not on the bus: its port has no power' \
  "$(bench_port 'drive [')"
expect "port 0 2 on" "hub 0 port 2: power on" "$(vostrel port 0 2 on --state-dir "$state")"
expect "the port is on on the bench" \
  'port 2 (on): drive [0-1.2] 0x7E57:0x0B30 "Orrin Storage" "Portable SSD", super speed, working' \
  "$(bench_port 'drive [')"

status=0; vostrel port 7 2 off --state-dir "$state" >/dev/null 2>&1 || status=$?
expect "a failed operation exits with 1" 1 "$status"
status=0; vostrel port >/dev/null 2>&1 || status=$?
expect "an incomplete command line exits with 2" 2 "$status"
status=0; vostrel hubs >/dev/null 2>"$work/hubs.err" || status=$?
expect "hubs is not available on Windows" "1 vostrel: listing every hub is not available on this system" \
  "$status $(tr -d '\r' <"$work/hubs.err")"
status=0; vostrel port --location 1-1 --port 1 off >/dev/null 2>"$work/port.err" || status=$?
expect "port --location is not available on Windows" \
  "1 vostrel: switching a hub's port by its location is not available on this system" \
  "$status $(tr -d '\r' <"$work/port.err")"

# Without --state-dir: %LOCALAPPDATA%\Vostrel, made when missing. Wine sets
# LOCALAPPDATA itself; cmd passes ours on.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
with_own_appdata() {
  "$wine" cmd /c "set LOCALAPPDATA=$(windows_path "$work/appdata")&& $(windows_path "$bin/vostrel.exe") $*" </dev/null |
    tr -d '\r'
}
mkdir "$work/appdata"
with_own_appdata watch add 0 1 >/dev/null
[ -f "$work/appdata/Vostrel/vostrel.dat" ] || { echo "FAILED: no vostrel.dat in %LOCALAPPDATA%\\Vostrel"; exit 1; }
echo "ok: the default state folder is %LOCALAPPDATA%\\Vostrel"
expect "it keeps the watch list" "1" "$(with_own_appdata watch list --json | grep -o '"port":1' | wc -l)"
expect "--state-dir names another folder" "The watch list is empty." "$(vostrel watch list --state-dir "$state")"

# A running monitor holds the state folder: a command that changes the
# settings there is refused.
"$wine" "$bin/vostrel.exe" monitor --state-dir "$state" >"$work/monitor.out" 2>&1 &
monitor=$!
for _ in $(seq 600); do grep -q "monitor running" "$work/monitor.out" && break; sleep 0.1; done
grep -q "monitor running" "$work/monitor.out" || { echo "FAILED: the monitor did not start"; cat "$work/monitor.out"; exit 1; }
status=0; vostrel watch add 0 1 --state-dir "$state" >"$work/refused.out" 2>&1 || status=$?
expect "the monitor's state folder is locked" "1 another vostrel program is using the state folder" \
  "$status $(grep -o 'another vostrel program is using the state folder' "$work/refused.out")"
# Ctrl+C on its console ends the monitor cleanly, as SIGTERM does on Linux:
# exit code 0, and the settings as they were, the stored auto recovery flag
# (which the monitor sets while it runs) off again. Wine 8 delivers only this
# of the three console events: GenerateConsoleCtrlEvent refuses Ctrl+Break
# (ERROR_INVALID_HANDLE), and closing a console's window ends its processes
# without a close event.
mkdir "$work/kept"
kept="Z:$work/kept"
vostrel times 9 4 --state-dir "$kept" >/dev/null
vostrel watch add 0 1 --state-dir "$kept" >/dev/null
code=$("$wine" "$bin/console_ctrl_c.exe" "Z:$work/ctrl-c.out" "monitor running" "Z:$bin/vostrel.exe" monitor \
  --state-dir "$kept" </dev/null | tr -d '\r')
expect "Ctrl+C ends the monitor with exit code 0" 0 "$code"
expect "it stopped the monitor on its way out" 1 "$(grep -c 'stopping the monitor' "$work/ctrl-c.out")"
expect "the settings stay whole" '{"interval":9,"offTime":4}
off
1' "$(vostrel times --json --state-dir "$kept"; vostrel recovery status --state-dir "$kept"
      vostrel watch list --json --state-dir "$kept" | grep -o '"port":1' | wc -l)"
