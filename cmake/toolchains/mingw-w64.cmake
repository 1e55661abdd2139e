# Cross-compiling for Windows with Debian's MinGW-w64 (the posix thread
# model, so that std::thread and std::mutex work). Included by the files
# that name the processor: mingw-w64-i686.cmake, mingw-w64-x86_64.cmake.
#
# Third-party libraries cross-built by scripts/setup-windows.sh are found in
# KV_WINDOWS_DEPS (default /var/cache/kvagent/windows), one folder per
# processor with one prefix per library.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KV_MINGW_PROCESSOR})
set(triple ${KV_MINGW_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Tests of the Windows build run under Wine, each program in a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh)

# The programs carry their runtime (libgcc, libstdc++, winpthread) so that
# they run on a Windows computer as the only files installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

if(DEFINED ENV{KV_WINDOWS_DEPS})
  set(KV_WINDOWS_DEPS "$ENV{KV_WINDOWS_DEPS}")
elseif(NOT KV_WINDOWS_DEPS)
  set(KV_WINDOWS_DEPS "/var/cache/kvagent/windows")
endif()
set(deps ${KV_WINDOWS_DEPS}/${KV_MINGW_PROCESSOR})

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${deps}/libxml2 ${deps}/googletest)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A header-only library of the build machine is the same for every target.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/nlohmann_json CACHE PATH "")

# The libraries are static and say so in their package configuration
# (libxml2's target defines LIBXML_STATIC): prefer it over the Find modules,
# which know nothing of that.
set(CMAKE_FIND_PACKAGE_PREFER_CONFIG ON)
