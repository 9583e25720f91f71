# setupsfx_add_installer(NAME OUTPUT file.exe CONFIG config.txt
#                        {ARCHIVE file.7z | [FOLDER dir] [TARGETS target...]}
#                        [ARCH x86|x64|arm64] [ICON file.ico] [VERSION_INFO file]
#                        [PRODUCT_VERSION X.Y.Z.W] [SLOT NAME=VALUE...]
#                        [STRICT] [REPRODUCIBLE])
# A target NAME, built by default, that packs OUTPUT with sfxpack build. FOLDER
# and TARGETS are staged into one payload folder: the folder's files, and each
# target's file with its runtime DLLs. The installer is packed again when any
# input changed, a file of FOLDER included (its list is kept in NAME-files.txt,
# rewritten when a file comes or goes).
function(setupsfx_add_installer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "STRICT;REPRODUCIBLE"
    "OUTPUT;CONFIG;ARCHIVE;FOLDER;ARCH;ICON;VERSION_INFO;PRODUCT_VERSION" "TARGETS;SLOT")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "setupsfx_add_installer(${name}): unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT OR NOT arg_CONFIG)
    message(FATAL_ERROR "setupsfx_add_installer(${name}): OUTPUT and CONFIG are required")
  endif()
  if(arg_ARCHIVE AND (arg_FOLDER OR arg_TARGETS))
    message(FATAL_ERROR "setupsfx_add_installer(${name}): ARCHIVE is the whole payload; give FOLDER and TARGETS without it")
  endif()
  if(NOT arg_ARCHIVE AND NOT arg_FOLDER AND NOT arg_TARGETS)
    message(FATAL_ERROR "setupsfx_add_installer(${name}): name the payload with ARCHIVE, FOLDER or TARGETS")
  endif()

  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(inputs "$<TARGET_FILE:setupsfx::sfxpack>")
  set(command "$<TARGET_FILE:setupsfx::sfxpack>" build --quiet)
  foreach(option IN ITEMS CONFIG ARCHIVE ICON VERSION_INFO)
    if(arg_${option})
      get_filename_component(file "${arg_${option}}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      string(TOLOWER "--${option}" flag)
      string(REPLACE "_" "-" flag "${flag}")
      list(APPEND command ${flag} "${file}")
      list(APPEND inputs "${file}")
    endif()
  endforeach()
  if(arg_ARCH)
    list(APPEND command --arch ${arg_ARCH})
    string(TOUPPER "${arg_ARCH}" arch)
  else()
    set(arch X86)
  endif()
  if(DEFINED setupsfx_STUB_${arch})
    list(APPEND inputs "${setupsfx_STUB_${arch}}")
  endif()
  if(arg_PRODUCT_VERSION)
    list(APPEND command --product-version "${arg_PRODUCT_VERSION}")
  endif()
  foreach(slot IN LISTS arg_SLOT)
    list(APPEND command --slot "${slot}")
  endforeach()
  if(arg_STRICT)
    list(APPEND command --strict)
  endif()
  if(arg_REPRODUCIBLE)
    list(APPEND command --reproducible)
  endif()

  set(stage_commands "")
  if(NOT arg_ARCHIVE)
    set(stage "${CMAKE_CURRENT_BINARY_DIR}/${name}-payload")
    list(APPEND stage_commands COMMAND "${CMAKE_COMMAND}" -E rm -rf "${stage}"
                               COMMAND "${CMAKE_COMMAND}" -E make_directory "${stage}")
    if(arg_FOLDER)
      get_filename_component(folder "${arg_FOLDER}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false "${folder}/*")
      list(SORT files)
      string(REPLACE ";" "\n" listing "${files}\n")
      set(listing_file "${CMAKE_CURRENT_BINARY_DIR}/${name}-files.txt")
      set(listed "")
      if(EXISTS "${listing_file}")
        file(READ "${listing_file}" listed)
      endif()
      if(NOT listed STREQUAL listing)
        file(WRITE "${listing_file}" "${listing}")
      endif()
      list(APPEND inputs ${files} "${listing_file}")
      list(APPEND stage_commands COMMAND "${CMAKE_COMMAND}" -E copy_directory "${folder}" "${stage}")
    endif()
    foreach(target IN LISTS arg_TARGETS)
      list(APPEND stage_commands COMMAND "${CMAKE_COMMAND}" -E copy
        "$<TARGET_FILE:${target}>" "$<TARGET_RUNTIME_DLLS:${target}>" "${stage}")
    endforeach()
    list(APPEND command --folder "${stage}")
  endif()

  add_custom_command(OUTPUT "${output}" ${stage_commands}
    COMMAND ${command} --output "${output}"
    DEPENDS ${inputs} ${arg_TARGETS}
    COMMENT "Packing the installer ${arg_OUTPUT}"
    COMMAND_EXPAND_LISTS VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${output}")
endfunction()
