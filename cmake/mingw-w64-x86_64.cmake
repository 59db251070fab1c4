# Cross-builds for 64-bit Windows with mingw-w64. The defaults are Debian's
# (g++-mingw-w64-x86-64); another distribution names its own on the command
# line, e.g. -DKORVELIN_MINGW_CXX=x86_64-w64-mingw32-g++
# -DKORVELIN_MINGW_ROOT=/usr/x86_64-w64-mingw32/sys-root/mingw.
# The posix-threads flavour: GoogleTest needs std::mutex, which the win32 one lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVELIN_MINGW_CC x86_64-w64-mingw32-gcc-posix CACHE STRING "The mingw-w64 C compiler")
set(KORVELIN_MINGW_CXX x86_64-w64-mingw32-g++-posix CACHE STRING "The mingw-w64 C++ compiler")
set(KORVELIN_MINGW_RC x86_64-w64-mingw32-windres CACHE STRING "The mingw-w64 resource compiler")
set(KORVELIN_MINGW_ROOT /usr/x86_64-w64-mingw32 CACHE PATH "The mingw-w64 headers and libraries")

set(CMAKE_C_COMPILER ${KORVELIN_MINGW_CC})
set(CMAKE_CXX_COMPILER ${KORVELIN_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KORVELIN_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH ${KORVELIN_MINGW_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
