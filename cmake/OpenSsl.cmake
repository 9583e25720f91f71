# OpenSSL's libcrypto, for sfxpack's signature check: on Windows the static
# library that scripts/bootstrap built for MinGW (i686 or x86-64), so that
# sfxpack.exe needs no DLL of its own; on Linux Debian's.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(OPENSSL_MINGW "${SETUPSFX_CACHE}/openssl-mingw64")
  else()
    set(OPENSSL_MINGW "${SETUPSFX_CACHE}/openssl-mingw")
  endif()
  if(NOT EXISTS "${OPENSSL_MINGW}/lib/libcrypto.a")
    message(FATAL_ERROR "OpenSSL for MinGW not found in ${OPENSSL_MINGW}; run scripts/bootstrap")
  endif()
  add_library(openssl_crypto STATIC IMPORTED)
  set_target_properties(openssl_crypto PROPERTIES
    IMPORTED_LOCATION "${OPENSSL_MINGW}/lib/libcrypto.a"
    INTERFACE_INCLUDE_DIRECTORIES "${OPENSSL_MINGW}/include"
    # What libcrypto calls of Windows: sockets, the crypto provider, the user.
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;advapi32;user32")
else()
  find_package(OpenSSL 3.0 REQUIRED COMPONENTS Crypto)
  add_library(openssl_crypto INTERFACE)
  target_link_libraries(openssl_crypto INTERFACE OpenSSL::Crypto)
endif()
