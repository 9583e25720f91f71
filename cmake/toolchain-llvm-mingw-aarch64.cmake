# Cross build for Windows on ARM64 with the clang toolchain that
# scripts/toolchain-arm64 built into the cache (Debian's clang and lld, the
# MinGW-w64 runtime and LLVM's runtimes for aarch64-w64-mingw32).
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(MINGW_TRIPLET aarch64-w64-mingw32)
if(DEFINED ENV{SETUPSFX_CACHE})
  set(_cache "$ENV{SETUPSFX_CACHE}")
else()
  set(_cache "$ENV{HOME}/.cache/setupsfx")
endif()
set(MINGW_TOOLCHAIN_ROOT "${_cache}/llvm-mingw-arm64")
if(NOT EXISTS "${MINGW_TOOLCHAIN_ROOT}/bin/${MINGW_TRIPLET}-clang++")
  message(FATAL_ERROR "no ARM64 toolchain in ${MINGW_TOOLCHAIN_ROOT}; run scripts/bootstrap")
endif()
set(MINGW_C_COMPILER "${MINGW_TOOLCHAIN_ROOT}/bin/${MINGW_TRIPLET}-clang")
set(MINGW_CXX_COMPILER "${MINGW_TOOLCHAIN_ROOT}/bin/${MINGW_TRIPLET}-clang++")
set(MINGW_RC_COMPILER "${MINGW_TOOLCHAIN_ROOT}/bin/${MINGW_TRIPLET}-windres")
set(MINGW_SYSROOT "${MINGW_TOOLCHAIN_ROOT}/${MINGW_TRIPLET}")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
# lld's MinGW driver has no --push-state, which CMake would use around a
# whole archive when the host's GNU ld offers it.
foreach(lang C CXX)
  set(CMAKE_${lang}_LINK_LIBRARY_USING_WHOLE_ARCHIVE
    "LINKER:--whole-archive" "<LINK_ITEM>" "LINKER:--no-whole-archive")
  set(CMAKE_${lang}_LINK_LIBRARY_USING_WHOLE_ARCHIVE_SUPPORTED TRUE)
endforeach()
