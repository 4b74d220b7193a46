# 32-bit Windows, cross-built with mingw-w64: the library's deliverable form.
# Nothing of it runs here; its export table is checked.
#   cmake -S . -B build-mingw32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VOSTREL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
