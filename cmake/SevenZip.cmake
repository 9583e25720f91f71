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

# HMAC-SHA-256 from the engine, for the builder: the initialization vector
# of a reproducible build is a keyed hash of its inputs.
add_library(sevenzip_hmac STATIC
  ${SEVENZIP_ROOT}/CPP/7zip/Crypto/HmacSha256.cpp
  ${SEVENZIP_ROOT}/C/Sha256.c
  ${SEVENZIP_ROOT}/C/Sha256Opt.c)
target_include_directories(sevenzip_hmac SYSTEM PUBLIC ${SEVENZIP_ROOT})
target_link_libraries(sevenzip_hmac PUBLIC sevenzip_aes)
set_target_properties(sevenzip_hmac PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
target_compile_options(sevenzip_hmac PRIVATE -Os -w)
