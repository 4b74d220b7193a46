#!/usr/bin/env bash
# The program links the hub library at load time and calls exactly these of
# its exports, and nothing else of it.
set -eu
export LC_ALL=C
program=$1
expected="Hub_CleanupInfoList
Hub_DeleteAutoCheckDeviceInfo
Hub_GetAutoCheckDeviceInfo
Hub_GetAutoCheckDeviceInfoIndex
Hub_GetAutoCheckDeviceInfo_Index_and_Port
Hub_GetAutoCheckTimeInfo
Hub_GetAutoRecoveryStatus
Hub_GetDeviceInfo
Hub_GetDeviceInfo_Index_and_Port
Hub_GetNextAutoCheckDeviceInfo
Hub_InitPt2lib
Hub_SetAutoCheckDeviceInfo
Hub_SetAutoCheckTimeInfo
Hub_SetHubPortStatus
Hub_StartAutoRecovery
Hub_StopAutoRecovery"
if ! readelf -d "$program" | grep -q 'NEEDED.*\[libVostrel_4\.so\]'; then
  echo "the program does not link libVostrel_4.so at load time"; exit 1
fi
actual=$(nm -D --undefined-only "$program" | awk '{print $2}' | grep '^Hub_' | sort)
if [ "$expected" != "$actual" ]; then
  echo "the program's imports of the hub library differ:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "16 imports of the hub library, as expected"
