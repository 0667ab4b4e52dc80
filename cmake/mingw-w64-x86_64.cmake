# Cross build of kdlib.dll for 64-bit Windows with Debian's MinGW-w64
# compilers. The posix-thread variants are used: the win32-thread ones have
# no std::mutex. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KDLIB_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KDLIB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KDLIB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KDLIB_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KDLIB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libz-mingw-w64-dev: link the archive, so the DLL needs no zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# Programs run under Wine, through a wrapper that keeps Wine's background
# processes off CTest's output pipes.
find_program(KDLIB_WINE NAMES wine wine64)
if(KDLIB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
