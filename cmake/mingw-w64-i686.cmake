# 32-bit Windows: the build a server runs, since CDO 1.21 and the Exchange
# MAPI client are 32-bit in-process libraries.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CALDROSE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
