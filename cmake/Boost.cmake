# Boost: Debian's headers; on Windows the compiled libraries that
# scripts/bootstrap built for MinGW, on Linux Debian's own.
if(WIN32)
  set(BOOST_MINGW_LIB "${SETUPSFX_CACHE}/boost-mingw/lib")
  if(NOT EXISTS "${BOOST_MINGW_LIB}/libboost_filesystem.a")
    message(FATAL_ERROR "Boost for MinGW not found in ${BOOST_MINGW_LIB}; run scripts/bootstrap")
  endif()
  add_library(boost_headers INTERFACE)
  target_include_directories(boost_headers SYSTEM INTERFACE "${SETUPSFX_CACHE}/boost-include")
  target_compile_definitions(boost_headers INTERFACE BOOST_ALL_NO_LIB BOOST_USE_WINDOWS_H)
  foreach(lib filesystem system thread log log_setup regex atomic)
    add_library(boost_${lib} STATIC IMPORTED)
    set_target_properties(boost_${lib} PROPERTIES
      IMPORTED_LOCATION "${BOOST_MINGW_LIB}/libboost_${lib}.a"
      INTERFACE_LINK_LIBRARIES boost_headers)
  endforeach()
else()
  find_package(Boost 1.81.0 EXACT REQUIRED COMPONENTS filesystem)
  add_library(boost_headers INTERFACE)
  target_link_libraries(boost_headers INTERFACE Boost::headers)
  add_library(boost_filesystem INTERFACE)
  target_link_libraries(boost_filesystem INTERFACE Boost::filesystem)
endif()
