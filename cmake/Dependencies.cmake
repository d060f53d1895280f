# Third-party libraries as imported targets with one name in both builds:
#   dep::curl dep::pugixml dep::minizip dep::zlib   (both builds)
#   dep::httplib dep::gtest                          (host build only)
# Host build: Debian's -dev packages. Win32 build: static libraries that
# scripts/setup compiled from Debian's source packages into VELMORA_DEPS_PREFIX.

if(WIN32)
  set(VELMORA_DEPS_PREFIX "${CMAKE_SOURCE_DIR}/build/deps/win32" CACHE PATH "Prefix of the cross-built dependencies")
  set(_p "${VELMORA_DEPS_PREFIX}")
  foreach(_lib curl pugixml minizip)
    if(NOT EXISTS "${_p}/lib/lib${_lib}.a")
      message(FATAL_ERROR "${_p}/lib/lib${_lib}.a is missing: run scripts/setup first")
    endif()
  endforeach()

  add_library(dep::zlib STATIC IMPORTED)
  set_target_properties(dep::zlib PROPERTIES IMPORTED_LOCATION /usr/i686-w64-mingw32/lib/libz.a)

  add_library(dep::curl STATIC IMPORTED)
  set_target_properties(dep::curl PROPERTIES
    IMPORTED_LOCATION "${_p}/lib/libcurl.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_p}/include"
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;secur32;iphlpapi;advapi32")

  add_library(dep::pugixml STATIC IMPORTED)
  set_target_properties(dep::pugixml PROPERTIES
    IMPORTED_LOCATION "${_p}/lib/libpugixml.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_p}/include")

  add_library(dep::minizip STATIC IMPORTED)
  set_target_properties(dep::minizip PROPERTIES
    IMPORTED_LOCATION "${_p}/lib/libminizip.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_p}/include"
    INTERFACE_LINK_LIBRARIES dep::zlib)
else()
  find_package(PkgConfig REQUIRED)
  find_package(CURL REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)

  add_library(dep::curl INTERFACE IMPORTED)
  target_link_libraries(dep::curl INTERFACE CURL::libcurl)
  add_library(dep::zlib INTERFACE IMPORTED)
  target_link_libraries(dep::zlib INTERFACE ZLIB::ZLIB)
  add_library(dep::minizip INTERFACE IMPORTED)
  target_link_libraries(dep::minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
  add_library(dep::pugixml INTERFACE IMPORTED)
  target_link_libraries(dep::pugixml INTERFACE PkgConfig::PUGIXML)
  add_library(dep::gtest INTERFACE IMPORTED)
  target_link_libraries(dep::gtest INTERFACE GTest::gtest GTest::gtest_main Threads::Threads)

  # cpp-httplib serves the test and demo service host only. Debian ships it as a
  # compiled library, so its configuration macros must match: take them from pkg-config.
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  add_library(dep::httplib INTERFACE IMPORTED)
  target_link_libraries(dep::httplib INTERFACE PkgConfig::HTTPLIB Threads::Threads)
endif()
