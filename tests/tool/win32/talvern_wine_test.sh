#!/usr/bin/env bash
# Talvern.exe under Wine on a virtual X display (Xvfb), on the simulator's
# two-hub bench, driven through its windows' messages by talvern_driver.exe:
# the tree and its rows' tooltips, Port Off, a device put on the watch list,
# the watch-list dialog and Delete, the log viewer on a prepared log, a port
# command refused after its hub was replaced, a second start. Saves
# screenshots of the three windows in SHOTS_DIR.
#   talvern_wine_test.sh BIN_DIR EXAMPLES_DIR SHOTS_DIR
# Ends with 77 (skipped) where Xvfb or ImageMagick's import is missing,
# except in CI (CI set), where that is a failure.
set -euo pipefail
bin=$1 examples=$2 shots=$3

for tool in Xvfb import; do
  if ! command -v "$tool" >/dev/null; then
    if [ -n "${CI:-}" ]; then echo "$tool is missing: run scripts/install-windows-dependencies"; exit 1; fi
    echo "SKIPPED: $tool is not installed (scripts/install-windows-dependencies installs it)"
    exit 77
  fi
done

wine=${VOSTREL_WINE64:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
work=$(mktemp -d)
xvfb="" talvern=""
cleanup() {
  if [ -n "$talvern" ]; then kill "$talvern" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A display number of our own: Xvfb picks a free one and writes it out.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# Wine gives every program the desktop, and with it the display, of the
# program that made the desktop first. One made without a display (a test
# program run while the build listed its tests, say) would leave Talvern no
# display at all, so this prefix's Wine is ended and starts afresh on ours.
# The test runs alone: no other test's program is ended with it.
"$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
"$(dirname "$wine")/wineserver" -w >/dev/null 2>&1 || true

# Wine draws the windows' frames and captions itself: there is no window
# manager on the display to do it.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Japanese texts drawn with the IPA fonts (fonts-ipafont-gothic): they stand
# for the dialogs' font "MS UI Gothic", and the shell dialog font borrows
# their glyphs.
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAPGothic /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1

cp "$examples/two-hubs-usb3.json" "$work/bench.json"
printf '%s\n' \
  '2026/12/08 10:15:02,3,0,2,0x7E57,0x0B30,Orrin Storage,Portable SSD' \
  '2026/12/08 10:16:40,2,1,1,0x7E57,0x0F10,Quill Devices, Inc.,Serial Adapter, rev. B' >"$work/vostrel.log"
printf '2026/12/08 10:17:05,1,0,1,0x7E57,0x0C31,ルーメン研究所,HDカメラ\r\n' >>"$work/vostrel.log"
cd "$work"
export VOSTREL_SIM_BENCH="Z:$work/bench.json" VOSTREL_USBSTACK="Z:$bin/vostrel_simstack.dll"

driver() { "$wine" "$bin/talvern_driver.exe" "$@" | tr -d '\r'; }
expect() {  # NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true; exit 1
  fi
  echo "ok: $1"
}
bench_port() {  # the stand-in's port power of a device on the bench
  "$wine" "$bin/vostrel-sim.exe" --bench "Z:$work/bench.json" show | tr -d '\r' | grep -F "$1"
}

"$wine" "$bin/Talvern.exe" >"$work/talvern.out" 2>&1 &
talvern=$!

driver setup
expect "the tree shows both hubs and their ports" "Orvique [0]
  [Port1] Lumen Labs HD Camera - VID:0x7E57 PID:0x0C31
  [Port2] Orrin Storage Portable SSD - VID:0x7E57 PID:0x0B30
  [Port3] NoDeviceConnected
  [Port4] NoDeviceConnected
Orvique [1]
  [Port1] Quill Devices Serial Adapter - VID:0x7E57 PID:0x0F10
  [Port2] DeviceCausedOvercurrent
  [Port3] NoDeviceConnected
  [Port4] DeviceConnected, not configured - VID:0x7E57 PID:0x0F40" "$(driver tree)"
expect "a hub's tooltip tells its serial number and location" "Serial number: VH0002A
Location: 0-1" "$(driver tip 0)"
expect "so does the other hub's" "Serial number: VH0002B
Location: 0-2.3" "$(driver tip 1)"
expect "a port's tooltip tells its device's state" "Attached, not working
Connection status: DeviceCausedOvercurrent
Speed: high speed (480 Mbit/s)
VID:PID: 0x7E57:0x0F20
Port power: not known (the hub reports only whether any of its ports is powered)" "$(driver tip 1 1)"
mkdir -p "$shots"
import -window root "$shots/talvern-main-window.png"

# Port Off (32775) on hub 0, port 2, from the port's menu.
driver command 0 1 32775
expect "Port Off switches the port off on the bench" \
  '    port 2 (off): drive [0-1.2] 0x7E57:0x0B30 "Orrin Storage" "Portable SSD", super speed, working; not on the bus: its port has no power' \
  "$(bench_port 'drive [')"
expect "the tree shows the port empty" "  [Port2] NoDeviceConnected" "$(driver tree | sed -n 3p)"

# Add Auto Recovery List (32777) on hub 0, port 1.
driver command 0 0 32777
expect "Add Auto Recovery List stores the entry in vostrel.dat" "interval 5 ticks, off time 3 ticks, auto recovery disabled
watched: hub 0 port 1  VID 0x7E57 PID 0x0C31  Lumen Labs HD Camera" "$("$wine" "$bin/vostrel-settings.exe" | tr -d '\r')"

driver click "RAV_Uvidaro 4Port" 1002
expect "the watch-list dialog lists the entry" "Index	Port	VID	PID	Device Name
0	1	0x7E57	0x0C31	Lumen Labs HD Camera" "$(driver rows "Auto Recovery Device List")"
import -window root "$shots/talvern-watch-list.png"

driver click "Auto Recovery Device List" 1002
expect "the log viewer shows the log field by field" "No	Date Time	HubIndex	Port	VID	PID	Device Name
1	2026/12/08 10:15:02	0	2	0x7E57	0x0B30	Orrin Storage Portable SSD
2	2026/12/08 10:16:40	1	1	0x7E57	0x0F10	Quill Devices, Inc. Serial Adapter, rev. B
3	2026/12/08 10:17:05	0	1	0x7E57	0x0C31	ルーメン研究所 HDカメラ" "$(driver rows "Auto Recovery Log")"
import -window root "$shots/talvern-log-viewer.png"
driver close "Auto Recovery Log"

driver delete-row "Auto Recovery Device List" 0
expect "Delete removes the entry" "Index	Port	VID	PID	Device Name" "$(driver rows "Auto Recovery Device List")"
expect "the entry is gone from vostrel.dat" "the watch list is empty" \
  "$("$wine" "$bin/vostrel-settings.exe" | tr -d '\r' | sed -n 2p)"
# The time boxes keep to 3 to 255 while typed; OK stores them.
expect "an interval above 255 shows as 255" "255" "$(driver type "Auto Recovery Device List" 1004 300)"
expect "an off time of 0 shows as 3" "3" "$(driver type "Auto Recovery Device List" 1005 0)"
expect "an off time of 7 stays" "7" "$(driver type "Auto Recovery Device List" 1005 7)"
driver close "Auto Recovery Device List"

# Another hub takes hub 0's place while the camera's port menu is open: Port
# Off is refused, the port stays on, and the tree shows the new hub.
driver menu 0 0
sed -i 's/"VH0002A"/"VH0002C"/' "$work/bench.json"
driver choose 32775
expect "a command for a replaced hub is refused" "The hubs or the device on this port changed since the menu was \
opened; nothing was done. The tree shows them as they are now." "$(driver message Port)"
expect "the camera's port stays on" \
  '    port 1 (on): camera [0-1.1] 0x7E57:0x0C31 "Lumen Labs" "HD Camera", high speed, working' \
  "$(bench_port 'camera [')"
expect "the tree shows the new hub" "Serial number: VH0002C" "$(driver tip 0 | head -n1)"

# A second copy ends at once, silently, and leaves the first one running.
second=0
timeout 60 "$wine" "$bin/Talvern.exe" >"$work/second.out" 2>&1 || second=$?
expect "a second Talvern.exe exits at once" "0" "$second"
expect "the first copy still runs" "Orvique [0]" "$(driver tree | head -n1)"

driver exit
wait "$talvern"
talvern=""
echo "ok: EXIT(&X) ends the program"
# The library writes the times into vostrel.dat when it is unloaded.
expect "OK stored the times" "interval 255 ticks, off time 7 ticks, auto recovery disabled" \
  "$("$wine" "$bin/vostrel-settings.exe" | tr -d '\r' | head -n1)"
