# Cross toolchain for the product: 32-bit Windows DLL with Debian's MinGW-w64
# (posix thread variant). The image libraries and GoogleTest come from the
# project's dependency cache (tools/build-deps-mingw.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_DLLTOOL ${triple}-dlltool)

if(NOT MORVEX_DEPS_PREFIX)
  if(DEFINED ENV{MORVEX_DEPS_CACHE})
    set(MORVEX_DEPS_PREFIX $ENV{MORVEX_DEPS_CACHE}/${triple}/current)
  else()
    set(MORVEX_DEPS_PREFIX /var/cache/morvex-deps/${triple}/current)
  endif()
endif()
set(MORVEX_DEPS_PREFIX ${MORVEX_DEPS_PREFIX} CACHE PATH "Static MinGW dependencies")

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${MORVEX_DEPS_PREFIX})
set(CMAKE_PREFIX_PATH ${MORVEX_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only, so the DLL imports system DLLs alone.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${triple}/include CACHE PATH "")

# Tests run under Wine, through the project's runner.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
