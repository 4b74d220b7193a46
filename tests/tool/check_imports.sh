#!/usr/bin/env bash
# The program links the hub library at load time and imports exactly these 17 of its exports.
set -eu
export LC_ALL=C
readelf -d "$1" | grep -q 'NEEDED.*\[libVostrel_4\.so\]' || { echo "$1 does not link libVostrel_4.so"; exit 1; }
diff <(printf '%s\n' Hub_CleanupInfoList Hub_DeleteAutoCheckDeviceInfo Hub_GetAutoCheckDeviceInfo \
  Hub_GetAutoCheckDeviceInfoIndex Hub_GetAutoCheckDeviceInfo_Index_and_Port Hub_GetAutoCheckTimeInfo \
  Hub_GetAutoRecoveryStatus Hub_GetDeviceInfo Hub_GetDeviceInfo_Index_and_Port Hub_GetHubPortStatus Hub_GetNextAutoCheckDeviceInfo \
  Hub_InitPt2lib Hub_SetAutoCheckDeviceInfo Hub_SetAutoCheckTimeInfo Hub_SetHubPortStatus Hub_StartAutoRecovery \
  Hub_StopAutoRecovery) <(nm -D --undefined-only "$1" | awk '$2 ~ /^Hub_/ {print $2}' | sort)
