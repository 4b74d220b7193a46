#!/usr/bin/env bash
# Compares the export table of a Windows DLL with the names listed in a
# module-definition file, exactly: nothing missing, nothing more, no
# decoration.
#   check_exports_windows.sh DLL DEF_FILE [IMPORT_LIBRARY]
# With the import library of the 32-bit Vostrel_4.dll, also checks that
# every __stdcall function takes its arguments in 32-bit slots: the
# decoration's byte count is 4 for each argument the interface lists.
set -eu
dll=$1
definitions=$2
import_library=${3:-}
objdump=${OBJDUMP:-objdump}
nm=${NM:-nm}

expected=$(sed -n '1,/^EXPORTS/d; s/^ *\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$definitions" | sort)
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/ s/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
count=$(echo "$expected" | grep -c .)
if [ "$expected" != "$actual" ]; then
  echo "the export table of $(basename "$dll") differs from $(basename "$definitions"):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi

if [ -n "$import_library" ]; then
  # Arguments of each export (names sharing a body take the body's).
  arguments="Hub_InitPt2lib 0
Hub_OpenHubDevice 1
Hub_CloseHubDevice 0
Hub_GetHubPortStatus 2
Hub_InitHubDevice 1
Hub_SetHubPortStatus 3
Hub_Program_CFG_w_Serial 3
Hub_Reset_Device 1
Hub_CleanupInfoList 0
Hub_GetDeviceInfo 1
Hub_GetDeviceInfo_Index_and_Port 3
Hub_GetNextDeviceInfo 1
Hub_GetDeviceInfoIndex 2
Hub_GetDeviceInfoSerial 2
Hub_GetAutoCheckDeviceInfoSerial 2
Hub_GetStatus 2
Hub_GetFault 2
Hub_SetReset 2
Hub_SetStatus 2
Hub_SetAutoCheckTimeInfo 2
Hub_GetAutoCheckTimeInfo 2
Hub_SetAutoCheckDeviceInfo 1
Hub_GetAutoCheckDeviceInfo 1
Hub_GetNextAutoCheckDeviceInfo 1
Hub_GetAutoCheckDeviceInfoIndex 2
Hub_GetAutoCheckDeviceInfo_Index_and_Port 3
Hub_DeleteAutoCheckDeviceInfo 1
Hub_StartAutoRecovery 0
Hub_StopAutoRecovery 0
Hub_GetAutoRecoveryStatus 0"
  want=$(echo "$arguments" | awk '{print $1 "@" 4 * $2}' | sort)
  have=$("$nm" "$import_library" | sed -n 's/.* T _\(Hub_[A-Za-z0-9_]*@[0-9]*\)$/\1/p' | sort)
  if [ "$want" != "$have" ]; then
    echo "the __stdcall argument sizes in $(basename "$import_library") differ from the interface:"
    diff <(echo "$want") <(echo "$have") || true
    exit 1
  fi
  echo "$count exports of $(basename "$dll"), as listed, each taking 32-bit argument slots"
  exit 0
fi
echo "$count exports of $(basename "$dll"), as listed"
