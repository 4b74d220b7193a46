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

devices=/sys/bus/usb/devices
ok() { echo "VOSTREL-TEST ok $1"; }
fail() { echo "VOSTREL-TEST FAIL $1: $2"; }
figure() {
  echo "VOSTREL-TEST figure $1"
  sed 's/^/  /'
}
# Waits until `test $@` holds; gives up after a minute (a guard, not a pace).
await() {
  tries=0
  until test "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 600 ] && return 1
    sleep 0.1
  done
}

# QEMU's hub with per-port power switching (1-1): keyboard, USB stick,
# serial adapter; its hub without (1-2): mouse; the family's hubs, hub 0
# switching each port (1-3 and 2-5), hub 1 ganged (1-4 and 2-6). Each
# configured, its interface there.
for device in 1-1.1 1-1.2 1-1.3 1-2.1 1-3 2-5 1-4 2-6; do
  await -e "$devices/$device/$device:1.0" || { fail "devices" "$device did not come"; break; }
done
echo "$(cut -d ' ' -f 1 /proc/uptime) s" | figure "uptime with every device configured"
ok devices

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
if [ "$result" = "last error 0" ] && [ "$(cat $disable)" = 1 ] && await ! -e "$devices/1-1.1"; then
  ok "port off on a switching hub"
else
  fail "port off on a switching hub" "$result, disable $(cat $disable)"
fi
result=$(port_switch_probe $devices/1-1 1 on)
if [ "$result" = "last error 0" ] && [ "$(cat $disable)" = 0 ] && await -e "$devices/1-1.1/1-1.1:1.0"; then
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

echo "VOSTREL-TEST done"
poweroff -f
