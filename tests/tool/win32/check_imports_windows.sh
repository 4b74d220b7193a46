#!/usr/bin/env bash
# Talvern.exe links Vostrel_4.dll at load time and imports exactly these 16
# of its exports, by name, and nothing else of it.
#   check_imports_windows.sh Talvern.exe OBJDUMP
set -eu
export LC_ALL=C
program=$1 objdump=${2:-objdump}
imports=$("$objdump" -p "$program" | awk '
  /^\tDLL Name:/ { inside = ($3 == "Vostrel_4.dll"); found = found || inside; next }
  /^$/ { inside = 0 }
  inside && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print $3 }
  END { if (!found) print "no import of Vostrel_4.dll" }' | sort)
diff <(printf '%s\n' Hub_CleanupInfoList Hub_DeleteAutoCheckDeviceInfo Hub_GetAutoCheckDeviceInfo \
  Hub_GetAutoCheckDeviceInfoIndex Hub_GetAutoCheckDeviceInfo_Index_and_Port Hub_GetAutoCheckTimeInfo \
  Hub_GetAutoRecoveryStatus Hub_GetDeviceInfo Hub_GetDeviceInfo_Index_and_Port Hub_GetNextAutoCheckDeviceInfo \
  Hub_InitPt2lib Hub_SetAutoCheckDeviceInfo Hub_SetAutoCheckTimeInfo Hub_SetHubPortStatus Hub_StartAutoRecovery \
  Hub_StopAutoRecovery) <(printf '%s\n' "$imports")
