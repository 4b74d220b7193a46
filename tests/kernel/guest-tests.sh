#!/bin/busybox sh
# The init of the real-kernel tests' guest (see run-guest.sh): loads the USB
# modules, waits for the devices QEMU placed, checks the scan, `vostrel` and
# the native vendor library's port power code on them, and reports on the
# console, one line per check: "VOSTREL-TEST ok NAME" or "VOSTREL-TEST FAIL
# NAME: WHY"; "VOSTREL-TEST figure ..." lines (each followed by its text,
# indented) are for people; "VOSTREL-TEST done" at the end.
/bin/busybox --install -s /bin
export PATH=/opt/vostrel/bin:/bin LD_LIBRARY_PATH=/opt/vostrel/lib
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /lib/modules/order); do insmod "/lib/modules/$module"; done

# The line the boot's terminal reset was written on ends here, so that the
# first report starts a line of its own.
echo

devices=/sys/bus/usb/devices
ok() { echo "VOSTREL-TEST ok $1"; }
fail() { echo "VOSTREL-TEST FAIL $1: $2"; }
figure() {
  echo "VOSTREL-TEST figure $1"
  sed 's/^/  /'
}
# Waits until the command succeeds; gives up after a minute (a guard, not a
# pace).
await() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 600 ] && return 1
    sleep 0.1
  done
}
reads() { [ "$(cat "$1")" = "$2" ]; }  # FILE TEXT: the file holds that line
configured() { [ -e "$devices/$1/$1:1.0" ]; }  # the device at that location

# QEMU's hub with per-port power switching (1-1): keyboard, USB stick,
# serial adapter; its hub without (1-2): mouse; the family's hubs, hub 0
# switching each port (1-3 and 2-5), hub 1 ganged (1-4 and 2-6). Each
# configured, its interface there.
missing=""
for device in 1-1.1 1-1.2 1-1.3 1-2.1 1-3 2-5 1-4 2-6; do
  await test -e "$devices/$device/$device:1.0" || { missing=$device; break; }
done
echo "$(cut -d ' ' -f 1 /proc/uptime) s" | figure "uptime with every device configured"
if [ -z "$missing" ]; then ok devices; else fail devices "$missing did not come"; fi

# The native vendor library is what `vostrel version` binds.
vostrel version > /tmp/version 2>&1
if grep -q '^vendor library: /opt/vostrel/lib/libpt2lib.so$' /tmp/version &&
   grep -q 'Vostrel native pt2lib' /tmp/version; then ok version; else fail version "$(cat /tmp/version)"; fi

# The scan reads every port as the kernel shows it, without a complaint,
# and a command that changes nothing saves nothing (in a state folder with
# settings, so that the library finds a file to read).
cd /state
vostrel times 6 3 > /dev/null
stored=$(md5sum vostrel.dat)
VOSTREL_DEBUG=1 vostrel list --json > /tmp/list.json 2> /tmp/list.err
status=$?
if [ $status = 0 ] && [ ! -s /tmp/list.err ]; then ok "list reads the kernel without complaint"
else fail "list reads the kernel without complaint" "exit $status: $(cat /tmp/list.err)"; fi
figure "vostrel list --json" < /tmp/list.json
VOSTREL_DEBUG=1 vostrel version > /dev/null 2> /tmp/version.err
if [ ! -s /tmp/version.err ] && [ "$(ls /state)" = vostrel.dat ] && [ "$(md5sum vostrel.dat)" = "$stored" ]; then
  ok "list and version save nothing"
else
  fail "list and version save nothing" "$(cat /tmp/version.err; ls /state)"
fi
lsusb -t 2>&1 | figure "lsusb -t"

# The ports' states as this kernel writes them (from 6.5 on).
state=$devices/1-1/1-1:1.0/1-1-port4/state
if [ -e "$state" ]; then
  if [ "$(cat "$state")" = "not attached" ] &&
     [ "$(cat "$devices/1-1/1-1:1.0/1-1-port1/state")" = configured ]; then ok "port states"
  else fail "port states" "$(cat "$devices"/1-1/1-1:1.0/*/state | tr '\n' ,)"; fi
  cat "$devices"/*/*:1.0/*-port*/state | sort | uniq -c | figure "port states"
else
  echo "none: the kernel has no port state attribute" | figure "port states"
fi

# QEMU's hub that switches each port: the keyboard's port off takes the
# keyboard off the bus, on brings it back.
disable=$devices/1-1/1-1:1.0/1-1-port1/disable
result=$(port_switch_probe $devices/1-1 1 off)
if [ "$result" = "last error 0" ] && [ "$(cat $disable)" = 1 ] && await test ! -e "$devices/1-1.1"; then
  ok "port off on a switching hub"
else
  fail "port off on a switching hub" "$result, disable $(cat $disable)"
fi
result=$(port_switch_probe $devices/1-1 1 on)
if [ "$result" = "last error 0" ] && [ "$(cat $disable)" = 0 ] && await test -e "$devices/1-1.1/1-1.1:1.0"; then
  ok "port on on a switching hub"
else
  fail "port on on a switching hub" "$result, disable $(cat $disable)"
fi

# QEMU's hub without power switching: refused (last error 8), the mouse
# left as it was.
disable=$devices/1-2/1-2:1.0/1-2-port1/disable
result=$(port_switch_probe $devices/1-2 1 off)
if [ "$result" = "last error 8" ] && [ "$(cat $disable)" = 0 ] && [ -e "$devices/1-2.1/1-2.1:1.0" ]; then
  ok "a hub without power switching refused"
else
  fail "a hub without power switching refused" "$result, disable $(cat $disable)"
fi

# The family's hubs, through vostrel and the native vendor library: both
# sides of a port switched, the ganged hub refused with nothing claimed done.
if grep -q '"hubCount":2' /tmp/list.json; then ok "list finds the family's hubs"
else fail "list finds the family's hubs" "$(cat /tmp/list.json)"; fi
port_disables() {  # the `disable` of port $2 on both hub devices of $1 (1-3 2-5)
  for side in $1; do cat "$devices/$side/$side:1.0/$side-port$2/disable"; done | tr '\n' ' '
}
expect_switch() {  # NAME EXIT SIDES PORT DISABLES COMMAND...
  name=$1 exit=$2 sides=$3 port=$4 disables=$5
  shift 5
  vostrel "$@" > /tmp/out 2> /tmp/err
  status=$?
  if [ $status = "$exit" ] && [ "$(port_disables "$sides" "$port")" = "$disables" ]; then ok "$name"
  else fail "$name" "exit $status, disable $(port_disables "$sides" "$port"), $(cat /tmp/out /tmp/err)"; fi
}
expect_switch "port off on both sides" 0 "1-3 2-5" 2 "1 1 " port 0 2 off
expect_switch "port on on both sides" 0 "1-3 2-5" 2 "0 0 " port 0 2 on
expect_switch "port cycle" 0 "1-3 2-5" 3 "0 0 " port 0 3 cycle --off-time 0.2
expect_switch "the ganged hub refused" 1 "1-4 2-6" 2 "0 0 " port 1 2 off
if [ ! -s /tmp/out ]; then ok "nothing claimed done on the ganged hub"
else fail "nothing claimed done on the ganged hub" "$(cat /tmp/out)"; fi
figure "vostrel port 1 2 off on the ganged hub" < /tmp/err

# Any hub, by its location: QEMU's hub at 1-1 switches each port, with the
# keyboard, the stick and the serial adapter on ports 1 to 3; its hub at 1-2
# does not switch, the mouse on port 1. The family's hubs are hubs too, and
# so are the root hubs. The two halves of a family hub sit on root ports of
# different numbers (one QEMU port takes one device, and the kernel links
# root ports of the same number as peers), so the kernel links none of
# their ports: they are two hubs here, though their serials match.
ids() {  # the device's IDs as the JSON gives them
  echo "\"vendorId\":\"$(tr a-f A-F < "$devices/$1/idVendor")\",\"productId\":\"$(tr a-f A-F < "$devices/$1/idProduct")\""
}
vostrel hubs > /tmp/hubs.txt 2>&1
figure "vostrel hubs" < /tmp/hubs.txt
vostrel hubs --json > /tmp/hubs.json 2> /tmp/hubs.err
status=$?
sed 's/},{"location"/},\n{"location"/g' /tmp/hubs.json | figure "vostrel hubs --json"
missing=""
for hub in 1-1 1-2 1-3 1-4; do grep -q "{\"location\":\"$hub\",$(ids $hub)" /tmp/hubs.json || missing="$missing $hub"; done
for root in usb1 usb2; do grep -q "{\"location\":\"$root\"," /tmp/hubs.json || missing="$missing $root"; done
if [ $status = 0 ] && [ -z "$missing" ] && [ "$(grep -o '"family":true' /tmp/hubs.json | wc -l)" = 4 ]; then
  ok "hubs lists every hub"
else
  fail "hubs lists every hub" "exit $status, wrong:$missing, $(cat /tmp/hubs.err)"
fi
# The hubs' answers are kept in the session's runtime folder: a later run
# finds every hub device there as the same instance and asks none again, so
# it leaves the memo as it was (a memo written anew is a new file).
mkdir -m 700 /tmp/run
memo=/tmp/run/vostrel-hub-power-switching
XDG_RUNTIME_DIR=/tmp/run vostrel hubs --json > /tmp/first.json 2>&1
before=$(ls -i $memo 2>&1)
XDG_RUNTIME_DIR=/tmp/run vostrel hubs --json > /tmp/second.json 2>&1
if [ "$before" = "$(ls -i $memo 2>&1)" ] && cmp -s /tmp/first.json /tmp/second.json &&
   grep -q '^1-1 1 [0-9]* [0-9]* [0-9]* per-port$' $memo && grep -q '^2-6 2 [0-9]* [0-9]* [0-9]* ganged$' $memo; then
  ok "hubs asks each hub device once per instance across runs"
else
  fail "hubs asks each hub device once per instance across runs" "$before, $(ls -i $memo 2>&1), $(cat $memo)"
fi
figure "the hubs' answers kept" < $memo

vostrel hubs --json --location 1-1 > /tmp/hub.json 2>&1
missing=""
grep -q '"hubCount":1,' /tmp/hub.json || missing="$missing hubCount"
grep -q '"powerSwitching":"per-port"' /tmp/hub.json || missing="$missing powerSwitching"
for port in 1 2 3; do
  grep -q "{\"port\":$port,\"power\":\"on\",.*\"device\":{\"location\":\"1-1.$port\",$(ids 1-1.$port)" /tmp/hub.json ||
    missing="$missing port$port"
done
if [ -z "$missing" ]; then ok "hubs shows a switching hub's devices"
else fail "hubs shows a switching hub's devices" "wrong:$missing, $(cat /tmp/hub.json)"; fi
vostrel hubs --json --location 1-2 > /tmp/hub.json 2>&1
if grep -q '"powerSwitching":"' /tmp/hub.json && ! grep -q '"powerSwitching":"per-port"' /tmp/hub.json &&
   grep -q "\"device\":{\"location\":\"1-2.1\",$(ids 1-2.1)" /tmp/hub.json; then
  ok "hubs shows a hub that does not switch"
else
  fail "hubs shows a hub that does not switch" "$(cat /tmp/hub.json)"
fi
vostrel hubs --json --location 1-3 > /tmp/hub.json 2>&1
if [ ! -e "$devices/1-3/1-3:1.0/1-3-port1/peer" ] && grep -q '"halves":{"usb2":"1-3","superSpeed":null}' /tmp/hub.json &&
   grep -q '{"location":"2-5",' /tmp/hubs.json; then
  ok "hubs pairs no halves that the kernel does not link"
else
  fail "hubs pairs no halves that the kernel does not link" "$(ls "$devices/1-3/1-3:1.0/1-3-port1" | tr "\n" " "), $(cat /tmp/hub.json)"
fi

# `vostrel port` by location: the keyboard's port off and on, toggled twice;
# the hub that does not switch refused, the mouse left as it was.
keyboard_disable=$devices/1-1/1-1:1.0/1-1-port1/disable
keyboard() {  # yes: the keyboard is configured; no: it is gone
  if [ "$1" = yes ]; then await configured 1-1.1; else await test ! -e "$devices/1-1.1"; fi
}
expect_location_switch() {  # NAME DISABLE KEYBOARD ACTION: `vostrel port --location 1-1 --port 1 ACTION` did that
  vostrel port --location 1-1 --port 1 "$4" > /tmp/out 2> /tmp/err
  status=$?
  if [ $status = 0 ] && reads $keyboard_disable "$2" && keyboard "$3"; then ok "$1"
  else fail "$1" "exit $status, disable $(cat $keyboard_disable), $(cat /tmp/out /tmp/err)"; fi
}
expect_location_switch "port off by location" 1 no off
expect_location_switch "port on by location" 0 yes on
expect_location_switch "port toggled off" 1 no toggle
expect_location_switch "port toggled on" 0 yes toggle
vostrel port --location 1-2 --port 1 off > /tmp/out 2> /tmp/err
status=$?
if [ $status = 1 ] && [ ! -s /tmp/out ] && [ -s /tmp/err ] && reads "$devices/1-2/1-2:1.0/1-2-port1/disable" 0 &&
   configured 1-2.1; then
  ok "a hub that does not switch refused by location"
else
  fail "a hub that does not switch refused by location" "exit $status, $(cat /tmp/out /tmp/err)"
fi
figure "vostrel port --location 1-2 --port 1 off" < /tmp/err

# Recovery of a watched device on QEMU's hub, checked every tick: the stick,
# taken out of QEMU, is logged as missing and its port switched off and on,
# again and again while it is missing; QEMU gives it back while its port is
# off (QEMU's hub shows a device added there at once, and keeps it when the
# port's power comes back), and from then on it is left alone. The serial adapter, watched too,
# is how the test knows that the monitor has checked every entry since the
# stick came back: its port, switched off behind the monitor's back, is
# logged and switched on again in a later tick. Stops at the first step
# that fails, so that a monitor that does nothing costs one guard's minute.
log=/state/vostrel.log
stick_disable=$devices/1-1/1-1:1.0/1-1-port2/disable
stick_event=",3,1-1,2,0x$(tr a-f A-F < $devices/1-1.2/idVendor),0x$(tr a-f A-F < $devices/1-1.2/idProduct),"
events() { cat $log 2> /dev/null | grep -c "$1"; }
twice() { [ "$(events "$stick_event")" -ge 2 ]; }
stopped() { grep -q '^State:[[:space:]]*Z' /proc/$monitor/status 2> /dev/null || [ ! -e /proc/$monitor ]; }
step() {  # NAME CONDITION...: reports the step; fails when the condition does not hold
  name=$1
  shift
  if "$@"; then ok "$name"; return 0; fi
  fail "$name" "stick's port disable $(cat $stick_disable), log: $(cat $log 2> /dev/null | tr '\n' '|')"
  return 1
}
stick_gone_logged() { await test ! -e "$devices/1-1.2" && await grep -q "$stick_event" $log; }
stick_switched_off_and_on() { await reads $stick_disable 1 && await reads $stick_disable 0; }
stick_recovered_again() { await twice && await reads $stick_disable 1; }
stick_back_on() { configured 1-1.2 && reads $stick_disable 0; }
adapter_recovered() { await test ! -e "$devices/1-1.3" && await grep -q ",3,1-1,3," $log && await configured 1-1.3; }
stick_left_alone() { [ "$(events ",1-1,2,")" = "$stick_events" ] && configured 1-1.2; }
watched_recovery() {
  echo "VOSTREL-TEST qemu device_del stick"
  step "a watched device gone: logged" stick_gone_logged &&
    step "a watched device gone: its port switched off and on" stick_switched_off_and_on &&
    step "recovered again while missing" stick_recovered_again || return
  echo "VOSTREL-TEST qemu device_add stick"
  step "a watched device back" await stick_back_on || return
  stick_events=$(events ",1-1,2,")
  echo 1 > $devices/1-1/1-1:1.0/1-1-port3/disable
  step "a watched device's port switched off behind the monitor's back: switched on" adapter_recovered &&
    step "recovery stops once the device is back" stick_left_alone
}
vostrel times 1 1 > /dev/null
{ vostrel watch add --location 1-1 --port 2 && vostrel watch add --location 1-1 --port 3; } > /tmp/out 2>&1
status=$?
vostrel monitor --state-dir /state > /tmp/monitor.out 2> /tmp/monitor.err &
monitor=$!
# Its signals are taken once it says it runs: a SIGINT before then would be
# lost, since a background job starts with SIGINT ignored.
running() { grep -q "monitor running" /tmp/monitor.err; }
if await eval 'running || stopped' && running && [ $status = 0 ]; then
  ok "monitor started"
  watched_recovery
  figure "vostrel.log" < $log
else
  fail "monitor started" "watch add exit $status, $(cat /tmp/out /tmp/monitor.err)"
fi
kill -INT $monitor
if await stopped; then
  wait $monitor
  status=$?
  if [ $status = 0 ]; then ok "monitor stops on SIGINT"; else fail "monitor stops on SIGINT" "exit $status"; fi
else
  kill -KILL $monitor
  fail "monitor stops on SIGINT" "still running"
fi
figure "vostrel monitor" < /tmp/monitor.err

echo "VOSTREL-TEST done"
poweroff -f
