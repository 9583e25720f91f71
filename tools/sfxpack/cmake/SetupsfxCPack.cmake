# include(SetupsfxCPack) before include(CPack): cpack then packs the staged
# install tree into <name>-<version>-<arch>.exe with sfxpack. Set
# CPACK_SETUPSFX_CONFIG to a configuration, or CPACK_SETUPSFX_SETUP_PROGRAM
# to the setup program (a path in the install tree) for a generated one.
# CPACK_SETUPSFX_ARCH (x86, x64 or arm64) defaults to the target's processor.
if(NOT TARGET setupsfx::sfxpack)
  message(FATAL_ERROR "SetupsfxCPack: find_package(setupsfx) first")
endif()
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/SetupsfxCPackPackage.cmake")
get_target_property(CPACK_SETUPSFX_SFXPACK setupsfx::sfxpack IMPORTED_LOCATION)
if(NOT CPACK_SETUPSFX_ARCH)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM64|arm64|aarch64)$")
    set(CPACK_SETUPSFX_ARCH arm64)
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SETUPSFX_ARCH x64)
  else()
    set(CPACK_SETUPSFX_ARCH x86)
  endif()
endif()
