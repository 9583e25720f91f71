# The package script of SetupsfxCPack, run by cpack: packs the staged install
# tree with sfxpack and hands the installer back to cpack.
set(name "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SETUPSFX_ARCH}.exe")
set(output "${CPACK_TOPLEVEL_DIRECTORY}/${name}")
if(CPACK_SETUPSFX_CONFIG)
  set(config "${CPACK_SETUPSFX_CONFIG}")
elseif(CPACK_SETUPSFX_SETUP_PROGRAM)
  set(config "${CPACK_TOPLEVEL_DIRECTORY}/setupsfx-config.txt")
  file(WRITE "${config}" "[main]\nProductName=${CPACK_PACKAGE_NAME}\nSetupFileName=${CPACK_SETUPSFX_SETUP_PROGRAM}\n")
else()
  message(FATAL_ERROR "SetupsfxCPack: set CPACK_SETUPSFX_CONFIG or CPACK_SETUPSFX_SETUP_PROGRAM")
endif()

set(command "${CPACK_SETUPSFX_SFXPACK}" build --quiet --arch "${CPACK_SETUPSFX_ARCH}" --config "${config}"
  --folder "${CPACK_TEMPORARY_DIRECTORY}" --output "${output}" --product-name "${CPACK_PACKAGE_NAME}"
  --product-version "${CPACK_PACKAGE_VERSION}")
if(CPACK_PACKAGE_VENDOR)
  list(APPEND command --company "${CPACK_PACKAGE_VENDOR}")
endif()
if(CPACK_PACKAGE_ICON)
  list(APPEND command --icon "${CPACK_PACKAGE_ICON}")
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "SetupsfxCPack: sfxpack could not build ${name} (exit status ${status})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${output}")
