# Shared part of the MinGW-w64 toolchain files; TVX_MINGW_TRIPLE names the
# target (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_C_COMPILER ${TVX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TVX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TVX_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TVX_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TVX_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_NM ${TVX_MINGW_TRIPLE}-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${TVX_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TVX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their runtime (libgcc, libstdc++,
# winpthread) inside: without it Wine and plain Windows machines fail to
# start them for want of the MinGW runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine.
find_program(TVX_WINE wine)
if(TVX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TVX_WINE})
endif()
