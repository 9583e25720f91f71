# Cross build for Windows with MinGW-w64, shared by the toolchain files of
# the processors, which set MINGW_TRIPLET first. x86 and x64 build with
# Debian's MinGW GCC (posix thread model); a file that sets the MINGW_*
# compilers and sysroot brings a toolchain of its own.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED MINGW_CXX_COMPILER)
  set(MINGW_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
  set(MINGW_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
  set(MINGW_RC_COMPILER ${MINGW_TRIPLET}-windres)
  set(MINGW_SYSROOT /usr/${MINGW_TRIPLET})
endif()
set(CMAKE_C_COMPILER ${MINGW_C_COMPILER})
set(CMAKE_CXX_COMPILER ${MINGW_CXX_COMPILER})
set(CMAKE_RC_COMPILER ${MINGW_RC_COMPILER})
set(CMAKE_FIND_ROOT_PATH ${MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Each function in its own section, so the stub's link drops what it never
# calls: the archive must begin within the first 4 MiB of an installer.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
