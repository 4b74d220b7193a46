#!/usr/bin/env bash
# udev's own rule reader and matcher (udevadm test) applies the rule to the
# devices of a umockdev test bed: for the family's rule, the family's hub
# devices get the group, the mode and the seat tag, their hub interfaces the
# program, and nothing else gets anything; for the opt-in rule for every
# hub, every hub device (root hubs too) gets the group and the mode, every
# bound hub interface the program. It runs in a mount namespace of its own whose
# /etc/udev/rules.d holds the rule and whose /run is empty, so the
# machine's udev stays untouched; where that cannot be made (not root, no
# namespaces) or udevadm is missing, it is skipped (77).
#   udevadm_rule_test.sh RULE VOSTREL_SIM BENCH
set -euo pipefail
rule=$1
name=$(basename "$rule")
bed=$(mktemp)
trap 'rm -f "$bed"' EXIT
"$2" --bench "$3" umockdev-bed > "$bed"
command -v udevadm >/dev/null && command -v umockdev-run >/dev/null || { echo "no udevadm or umockdev-run"; exit 77; }
[ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null || { echo "needs root and mount namespaces"; exit 77; }
plugdev=$(getent group plugdev | cut -d: -f3) || { echo "no group plugdev"; exit 77; }

pci=/sys/devices/pci0000:00/0000:00:10.0
# What udevadm test says the rule did to one device, one line per action.
applied() {
  unshare -m bash -c '
    mount -t tmpfs none /etc/udev/rules.d && mount -t tmpfs none /run && mkdir /run/udev
    cp "$1" "/etc/udev/rules.d/$5"
    umockdev-run --device "$2" -- udevadm test --action="$3" "$4" 2>&1' _ "$rule" "$bed" "$1" "$2" "$name" |
    sed -n "s/.*$name:[0-9]* //p"
}

failures=0
expect() {
  local label=$1 want=$2 got
  got=$(applied "$3" "$4" | tr '\n' ';')
  if [ "$got" != "$want" ]; then
    echo "$label: expected '$want', got '$got'"; failures=$((failures + 1))
  fi
}
run="RUN '/bin/sh -c 'chgrp plugdev /sys%p/*-port*/disable && chmod g+w /sys%p/*-port*/disable'';"
if [ "$name" = 61-vostrel-any-hub.rules ]; then
  expect "a hub device of the family" "GROUP $plugdev;MODE 0664;" add $pci/usb1/1-1
  expect "another maker's hub" "GROUP $plugdev;MODE 0664;" add $pci/usb1/1-2
  expect "a root hub at a trigger" "GROUP $plugdev;MODE 0664;" change $pci/usb2
  expect "a device on a hub" "" add $pci/usb1/1-1/1-1.1
  expect "another maker's hub interface bound" "$run" bind $pci/usb1/1-2/1-2:1.0
  expect "a hub interface before binding" "" add $pci/usb1/1-1/1-1:1.0
  [ "$failures" = 0 ] && echo "the rule applies as meant"
  exit "$failures"
fi
expect "the USB 2.0 hub device" "GROUP $plugdev;MODE 0664;" add $pci/usb1/1-1
expect "the SuperSpeed hub device" "GROUP $plugdev;MODE 0664;" change $pci/usb2/2-1
expect "a device on the hub" "" add $pci/usb1/1-1/1-1.1
expect "another maker's hub" "" add $pci/usb1/1-2
expect "the hub's interface bound" "$run" bind $pci/usb1/1-1/1-1:1.0
expect "the SuperSpeed hub's interface at a trigger" "$run" change $pci/usb2/2-1/2-1:1.0
expect "the hub's interface before binding" "" add $pci/usb1/1-1/1-1:1.0
expect "another maker's hub interface" "" bind $pci/usb1/1-2/1-2:1.0
# The seat tag, which udev's uaccess rules act on later.
tags=$(unshare -m bash -c '
  mount -t tmpfs none /etc/udev/rules.d && mount -t tmpfs none /run && mkdir /run/udev
  cp "$1" "/etc/udev/rules.d/$4"
  umockdev-run --device "$2" -- udevadm test --action=add "$3" 2>/dev/null' _ "$rule" "$bed" $pci/usb1/1-1 "$name" |
  sed -n 's/^TAGS=//p')
case "$tags" in *:uaccess:*) ;; *) echo "the hub device is not tagged uaccess: '$tags'"; failures=$((failures + 1)) ;; esac
[ "$failures" = 0 ] && echo "the rule applies as meant"
exit "$failures"
