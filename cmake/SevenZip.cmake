# The 7-Zip engine, compiled from the source that scripts/bootstrap unpacked.
set(SEVENZIP_ROOT "${SETUPSFX_CACHE}/7zip" CACHE PATH "Unpacked 7-Zip source")
if(NOT EXISTS "${SEVENZIP_ROOT}/C/Aes.c")
  message(FATAL_ERROR "7-Zip source not found at ${SEVENZIP_ROOT}; run scripts/bootstrap")
endif()

# AES from the engine: deciphers the configuration block in the stub and
# enciphers it in the builder.
add_library(sevenzip_aes STATIC
  ${SEVENZIP_ROOT}/C/Aes.c
  ${SEVENZIP_ROOT}/C/AesOpt.c
  ${SEVENZIP_ROOT}/C/CpuArch.c)
target_include_directories(sevenzip_aes SYSTEM PUBLIC ${SEVENZIP_ROOT}/C)
set_target_properties(sevenzip_aes PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
target_compile_options(sevenzip_aes PRIVATE -Os)
