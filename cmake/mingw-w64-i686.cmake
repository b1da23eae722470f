# Cross build for 32-bit Windows with mingw-w64: the x86 server module (see OV_SERVER_ONLY).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(OV_WIDL_TARGET --win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
