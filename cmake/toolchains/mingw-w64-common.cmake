# Shared part of the Windows cross builds with Debian's mingw-w64 (posix
# thread model, for std::thread and std::mutex). Include it after setting
# VOSTREL_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VOSTREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOSTREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VOSTREL_MINGW_TRIPLET}-windres)

# Libraries and packages only from the cross sysroot, never the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${VOSTREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
