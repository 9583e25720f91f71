# setupsfx for CMake projects: the imported target setupsfx::sfxpack, the
# stub paths setupsfx_STUB_X86, setupsfx_STUB_X64 and setupsfx_STUB_ARM64,
# and setupsfx_add_installer(). Every path is found from this file's folder,
# so the installed tree may move: the stubs lie in the folder above it;
# sfxpack in bin/ of the prefix (Debian package) or beside the stubs
# (Windows zip).
if(CMAKE_VERSION VERSION_LESS 3.21)
  set(setupsfx_FOUND FALSE)
  set(setupsfx_NOT_FOUND_MESSAGE "setupsfx needs CMake 3.21 or later (this is ${CMAKE_VERSION})")
  return()
endif()

get_filename_component(_setupsfx_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(CMAKE_CURRENT_LIST_DIR MATCHES "/share/setupsfx/cmake$")
  get_filename_component(_setupsfx_prefix "${_setupsfx_dir}/../.." ABSOLUTE)
  set(_setupsfx_programs "${_setupsfx_prefix}/bin/sfxpack${CMAKE_HOST_EXECUTABLE_SUFFIX}")
elseif(CMAKE_HOST_WIN32 AND CMAKE_HOST_SYSTEM_PROCESSOR MATCHES "AMD64|ARM64")
  set(_setupsfx_programs "${_setupsfx_dir}/sfxpack64.exe" "${_setupsfx_dir}/sfxpack.exe")
elseif(CMAKE_HOST_WIN32)
  set(_setupsfx_programs "${_setupsfx_dir}/sfxpack.exe")
else()
  set(_setupsfx_programs "")
endif()
set(_setupsfx_program "")
foreach(_setupsfx_candidate IN LISTS _setupsfx_programs)
  if(NOT _setupsfx_program AND EXISTS "${_setupsfx_candidate}")
    set(_setupsfx_program "${_setupsfx_candidate}")
  endif()
endforeach()
if(NOT _setupsfx_program)
  set(setupsfx_FOUND FALSE)
  set(setupsfx_NOT_FOUND_MESSAGE "no sfxpack for this ${CMAKE_HOST_SYSTEM_NAME} host in ${_setupsfx_dir}: the Debian package's sfxpack runs on Linux, the Windows zip's on Windows")
  return()
endif()

if(NOT TARGET setupsfx::sfxpack)
  add_executable(setupsfx::sfxpack IMPORTED)
  set_target_properties(setupsfx::sfxpack PROPERTIES IMPORTED_LOCATION "${_setupsfx_program}")
endif()
set(setupsfx_STUB_X86 "${_setupsfx_dir}/setupsfx.exe")
set(setupsfx_STUB_X64 "${_setupsfx_dir}/setupsfx64.exe")
set(setupsfx_STUB_ARM64 "${_setupsfx_dir}/setupsfxarm64.exe")
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}")
include("${CMAKE_CURRENT_LIST_DIR}/SetupsfxAddInstaller.cmake")
