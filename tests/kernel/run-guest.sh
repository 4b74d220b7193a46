#!/usr/bin/env bash
# Boots one of Debian's stock kernels in QEMU, with QEMU's xHCI controller,
# its hub with and without per-port power switching and devices behind them,
# and two hubs of the family answered by hub_emulator through usb-redir (one
# switching each port, one ganged), and runs guest-tests.sh in it as its
# init; passes when the guest reports every check passed and the emulated
# hubs received the port power requests in the order expected. While it
# runs, the guest may ask on its console for a device behind QEMU's hubs to
# be removed from QEMU and added back (see answer_guest).
#   run-guest.sh PACKAGE WORK_DIR VOSTREL HUB_LIBRARY NATIVE_LIBRARY PROBE GUEST_SCRIPT HUB_EMULATOR
# PACKAGE is the meta package whose kernel is booted (linux-image-amd64,
# linux-image-6.12-amd64). The kernel package is fetched with apt-get
# download, never installed, and kept unpacked in VOSTREL_KERNEL_CACHE
# (/var/cache/vostrel-kernel-tests, else ~/.cache/vostrel-kernel-tests).
# What is missing to start a guest skips the test (exit 77), or fails it
# where CI=true.
set -euo pipefail
package=$1 work=$2 vostrel=$3 hub_library=$4 native_library=$5 probe=$6 guest_script=$7 emulator=$8

cannot_start() {
  echo "kernel test not run: $*" >&2
  [ "${CI:-}" = true ] && exit 1
  exit 77
}

command -v qemu-system-x86_64 >/dev/null || cannot_start "no qemu-system-x86_64 (Debian package qemu-system-x86)"
command -v cpio >/dev/null || cannot_start "no cpio"
[ -x "$emulator" ] || cannot_start "no hub_emulator (libusbredirparser-dev was missing when the build was configured)"
busybox=/bin/busybox
[ -x "$busybox" ] && ! ldd "$busybox" >/dev/null 2>&1 || cannot_start "no static busybox (Debian package busybox-static)"

cache=${VOSTREL_KERNEL_CACHE:-/var/cache/vostrel-kernel-tests}
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/vostrel-kernel-tests
  mkdir -p "$cache"
fi

# The kernel package that the meta package names today, unpacked once.
image=$(apt-cache depends "$package" 2>/dev/null | awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }')
[ -n "$image" ] || cannot_start "apt knows no package $package"
exec 9>"$cache/lock"
flock 9
if [ ! -d "$cache/$image/boot" ]; then
  rm -rf "$cache/$image.partial" && mkdir -p "$cache/$image.partial"
  (cd "$cache/$image.partial" && apt-get download -q "$image" >/dev/null 2>&1) ||
    cannot_start "apt-get download $image failed"
  dpkg-deb -x "$cache/$image.partial/"*.deb "$cache/$image.partial/root"
  # Only the kernel and the drivers the guest loads are kept.
  find "$cache/$image.partial/root"/lib/modules/*/kernel -mindepth 1 -maxdepth 1 ! -name drivers -exec rm -rf {} +
  find "$cache/$image.partial/root"/lib/modules/*/kernel/drivers -mindepth 1 -maxdepth 1 \
    ! -name usb ! -name hid ! -name scsi -exec rm -rf {} +
  mv "$cache/$image.partial/root" "$cache/$image"
  rm -rf "$cache/$image.partial"
fi
flock -u 9
kernel=$(ls "$cache/$image"/boot/vmlinuz-* | head -n 1)
modules=$(ls -d "$cache/$image"/lib/modules/* | head -n 1)

# The initramfs: busybox, the kernel's USB modules, our programs and what
# they link.
root=$work/root
rm -rf "$root" && mkdir -p "$root"/{bin,dev,proc,sys,tmp,state,lib/modules,opt/vostrel/bin,opt/vostrel/lib}
cp "$busybox" "$root/bin/busybox"
cp "$guest_script" "$root/init" && chmod 755 "$root/init"

# A module's file by its name, and the names it depends on.
module_file() { find "$modules/kernel" \( -name "$1.ko" -o -name "$1.ko.xz" -o -name "$(echo "$1" | tr _ -).ko" \
  -o -name "$(echo "$1" | tr _ -).ko.xz" -o -name "$(echo "$1" | tr - _).ko" -o -name "$(echo "$1" | tr - _).ko.xz" \) |
  head -n 1; }
module_text() { case "$1" in *.xz) xz -dc "$1" ;; *) cat "$1" ;; esac; }
declare -A loaded=()
order=()
add_module() {
  local name=$1 file dep
  [ -n "${loaded[$name]:-}" ] && return
  loaded[$name]=1
  file=$(module_file "$name")
  [ -n "$file" ] || { echo "module $name not in $image" >&2; exit 1; }
  for dep in $(module_text "$file" | tr '\0' '\n' | sed -n 's/^depends=//p' | tr , ' '); do add_module "$dep"; done
  module_text "$file" > "$root/lib/modules/$name.ko"
  order+=("$name.ko")
}
for module in xhci-pci usbhid hid-generic usb-storage ftdi_sio; do add_module "$module"; done
printf '%s\n' "${order[@]}" > "$root/lib/modules/order"

copy_with_libraries() {  # FILE DESTINATION
  cp -L "$1" "$root$2"
  ldd "$1" | awk '/=> \// { print $3 } /^[ \t]*\// { print $1 }' | while read -r library; do
    mkdir -p "$root$(dirname "$library")"
    cp -L "$library" "$root$library"
  done
}
copy_with_libraries "$vostrel" /opt/vostrel/bin/vostrel
copy_with_libraries "$probe" /opt/vostrel/bin/port_switch_probe
copy_with_libraries "$hub_library" /opt/vostrel/lib/libVostrel_4.so
copy_with_libraries "$native_library" /opt/vostrel/lib/libpt2lib.so
if command -v lsusb >/dev/null; then copy_with_libraries "$(command -v lsusb)" /opt/vostrel/bin/lsusb; fi
(cd "$root" && find . | cpio -o -H newc --quiet) | gzip -1 > "$work/initrd.gz"

# A USB stick's medium.
truncate -s 1M "$work/stick.img"

# KVM only where the processor offers virtualisation and KVM starts; a
# /dev/kvm alone is not enough.
accel=tcg
if [ -w /dev/kvm ] && grep -qE '\b(vmx|svm)\b' /proc/cpuinfo &&
   { timeout 5 qemu-system-x86_64 -accel kvm -machine none -display none -nodefaults -S -monitor none \
       -serial none >/dev/null 2>&1 || [ $? = 124 ]; }; then
  accel=kvm
fi
accel=${VOSTREL_KERNEL_TESTS_ACCEL:-$accel}

# The family's hubs: "switched" (hub 0) and "ganged" (hub 1), each a USB 2.0
# and a SuperSpeed hub device on sockets of their own. The controller's
# ports each take a USB 2.0 or a SuperSpeed device: 1 and 2 QEMU's hubs,
# 3 and 4 the family's USB 2.0 hub devices, 5 and 6 their SuperSpeed ones.
rm -f "$work"/*.sock "$work"/*.log
"$emulator" VKT-SWITCHED "$work/switched.log" "$work/switched-usb2.sock" "$work/switched-superspeed.sock" &
switched=$!
"$emulator" --ganged VKT-GANGED "$work/ganged.log" "$work/ganged-usb2.sock" "$work/ganged-superspeed.sock" &
ganged=$!
trap 'kill $switched $ganged 2>/dev/null || true' EXIT
for socket in switched-usb2 switched-superspeed ganged-usb2 ganged-superspeed; do
  for _ in $(seq 100); do [ -S "$work/$socket.sock" ] && break; sleep 0.1; done
done

# The devices behind QEMU's hubs, by their QEMU ids: the guest may have any
# of them removed and added back while it runs (see answer_guest).
declare -A plugged=(
  [keyboard]=usb-kbd,id=keyboard,bus=xhci.0,port=1.1
  [stick]=usb-storage,id=stick,bus=xhci.0,port=1.2,drive=stick-medium,serial=VOSTREL-STICK-1
  [serial]=usb-serial,id=serial,bus=xhci.0,port=1.3,chardev=adapter,always-plugged=on
  [mouse]=usb-mouse,id=mouse,bus=xhci.0,port=2.1
)

# QEMU's QMP monitor on two pipes: it reads qmp.in and writes qmp.out. Both
# sides open them for reading and writing, so no open waits for the other.
rm -f "$work/qmp.in" "$work/qmp.out" "$work/qmp.log"
mkfifo "$work/qmp.in" "$work/qmp.out"

# One QMP command (JSON, one line); prints QEMU's answer to it, passing over
# the greeting and events. Every line QEMU sends is kept in qmp.log.
qmp() {
  local reply
  echo "$1" >&7
  while IFS= read -r -t 20 reply <&8; do
    reply=${reply%$'\r'}
    echo "$reply" >> "$work/qmp.log"
    case $reply in '{"return"'* | '{"error"'*) echo "$reply"; return ;; esac
  done
  echo "no answer within 20 s"
}

# Reads the guest's console as QEMU writes it and carries out its requests,
# "VOSTREL-TEST qemu device_del ID" and "VOSTREL-TEST qemu device_add ID"
# for the devices of `plugged`, through QEMU's human monitor commands (the
# same device text as on QEMU's command line). The guest waits for their
# effect itself; a request refused or not understood is printed as a failed
# check.
answer_guest() {
  local line command id reply negotiated=""
  exec 7<>"$work/qmp.in" 8<>"$work/qmp.out"
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line == "VOSTREL-TEST qemu "* ]] || continue
    read -r command id <<< "${line#VOSTREL-TEST qemu }"
    if [ -z "$id" ] || [ -z "${plugged[$id]:-}" ]; then
      echo "VOSTREL-TEST FAIL qemu $command $id: no such device"
      continue
    fi
    case $command in
      device_del) command="device_del $id" ;;
      device_add) command="device_add ${plugged[$id]}" ;;
      *) echo "VOSTREL-TEST FAIL qemu $command $id: no such request"; continue ;;
    esac
    if [ -z "$negotiated" ]; then
      reply=$(qmp '{"execute":"qmp_capabilities"}')
      [ "$reply" = '{"return": {}}' ] || { echo "VOSTREL-TEST FAIL qemu's monitor: $reply"; continue; }
      negotiated=yes
    fi
    reply=$(qmp '{"execute":"human-monitor-command","arguments":{"command-line":"'"$command"'"}}')
    [ "$reply" = '{"return": ""}' ] || echo "VOSTREL-TEST FAIL qemu $command: $reply"
  done
  exec 7>&- 8<&-
}

# The stick's medium is a -blockdev, which outlives the stick's device_del
# (a -drive would go with it), so that the stick can be added back.
console=$work/console.log
started=$(date +%s%N)
{ timeout 240 qemu-system-x86_64 -accel "$accel" -m 384 -smp 1 -nodefaults -nographic -no-reboot \
  -kernel "$kernel" -initrd "$work/initrd.gz" -append "console=ttyS0 quiet loglevel=3 panic=-1" \
  -serial stdio -monitor none -chardev pipe,id=qmp,path="$work/qmp" -mon chardev=qmp,mode=control \
  -device qemu-xhci,id=xhci,p2=8,p3=8 \
  -device usb-hub,id=switched,bus=xhci.0,port=1,ports=4,port-power=on \
  -device "${plugged[keyboard]}" \
  -blockdev driver=file,node-name=stick-file,filename="$work/stick.img" \
  -blockdev driver=raw,node-name=stick-medium,file=stick-file \
  -device "${plugged[stick]}" \
  -chardev null,id=adapter -device "${plugged[serial]}" \
  -device usb-hub,id=plain,bus=xhci.0,port=2,ports=4 \
  -device "${plugged[mouse]}" \
  -chardev socket,id=switched2,path="$work/switched-usb2.sock" -device usb-redir,chardev=switched2,bus=xhci.0,port=3 \
  -chardev socket,id=switched3,path="$work/switched-superspeed.sock" \
  -device usb-redir,chardev=switched3,bus=xhci.0,port=5 \
  -chardev socket,id=ganged2,path="$work/ganged-usb2.sock" -device usb-redir,chardev=ganged2,bus=xhci.0,port=4 \
  -chardev socket,id=ganged3,path="$work/ganged-superspeed.sock" -device usb-redir,chardev=ganged3,bus=xhci.0,port=6 \
  2>&1 || true; } | tee "$console" | answer_guest > "$work/answers.log"
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))

wait $switched $ganged || true
trap - EXIT

# The port power requests (SET_FEATURE 03, CLEAR_FEATURE 01 of PORT_POWER)
# to port PORT, in the order the hub devices received them, the last COUNT.
power_requests() {  # LOG PORT COUNT
  { grep -E "^(usb2|superspeed) 23 0[13] 08 00 0$2 00 " "$1" || true; } | awk '{ print $1 ($3 == "01" ? " off" : " on") }' |
    tail -n "$3" | tr '\n' ,
}
{
  cat "$work/answers.log"
  # `vostrel port 0 2 off` then `on`; `cycle` on port 3: off the USB 2.0
  # side first, on the SuperSpeed side first.
  expected="usb2 off,superspeed off,superspeed on,usb2 on,"
  for port in 2 3; do
    got=$(power_requests "$work/switched.log" $port 4)
    if [ "$got" = "$expected" ]; then echo "VOSTREL-TEST ok order of the switches on port $port"
    else echo "VOSTREL-TEST FAIL order of the switches on port $port: $got"; fi
  done
  # The ganged hub, which the kernel did power: refused before any port
  # lost its power.
  if ! grep -qE '^(usb2|superspeed) 23 03 08 00 ' "$work/ganged.log"; then
    echo "VOSTREL-TEST FAIL the ganged hub left alone: the kernel never powered it"
  elif grep -qE '^(usb2|superspeed) 23 01 08 00 ' "$work/ganged.log"; then
    echo "VOSTREL-TEST FAIL the ganged hub left alone: $(grep -E ' 23 01 08 00 ' "$work/ganged.log" | head -n 2)"
  else
    echo "VOSTREL-TEST ok the ganged hub left alone"
  fi
} >> "$console"

tr -d '\r' < "$console" | grep -E '^(VOSTREL-TEST|  )' || true
echo "kernel $image, accelerator $accel, QEMU ran $elapsed ms"
if ! tr -d '\r' < "$console" | grep -q '^VOSTREL-TEST done'; then
  echo "the guest did not finish; its console:" >&2
  tail -n 60 "$console" >&2
  exit 1
fi
! tr -d '\r' < "$console" | grep -q '^VOSTREL-TEST FAIL'
