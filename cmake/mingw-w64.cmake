# Cross-build for Windows with Debian's mingw-w64 toolchain. Included by the
# toolchain file of each width, which sets CMAKE_SYSTEM_PROCESSOR and
# CALDROSE_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${CALDROSE_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${CALDROSE_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${CALDROSE_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${CALDROSE_MINGW_PREFIX}-dlltool)

# Libraries and headers come from the target root only; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${CALDROSE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
