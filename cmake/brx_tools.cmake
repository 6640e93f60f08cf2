# brxpack, the authoring tool: build/host/brxpack and build/win32/brxpack.exe.
# Its logic (every source but main.cpp) is a library of its own, so the host
# test binary brxpack_tests can exercise it.
if(NOT BRX_BRXPACK_SOURCES)
  return()
endif()

if(BRX_WIN32)
  # toml++ and CLI11 are header-only Debian packages under /usr/include, which
  # a MinGW build must not search as a whole: expose just those two.
  set(third_party ${CMAKE_BINARY_DIR}/third-party/include)
  file(MAKE_DIRECTORY ${third_party})
  foreach(dir toml++ CLI)
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/bootstrap")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${third_party}/${dir} SYMBOLIC)
  endforeach()
endif()

# libdeflate writes the publisher's zlib streams (the installer inflates
# with zlib). Host: Debian's libdeflate-dev; MinGW: the library
# scripts/mingw-libdeflate builds from the same version. Linked statically,
# so an installed brxpack carries the version it was tested with and writes
# the same bytes whatever libdeflate the machine has.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
find_library(LIBDEFLATE_LIBRARY NAMES libdeflate.a)
if(NOT LIBDEFLATE_INCLUDE_DIR OR NOT LIBDEFLATE_LIBRARY)
  message(FATAL_ERROR "libdeflate is missing: run scripts/bootstrap")
endif()

set(brxpack_logic ${BRX_BRXPACK_SOURCES})
list(REMOVE_ITEM brxpack_logic ${BRX_BRXPACK_MAIN})
if(brxpack_logic)
  add_library(brxpack_core STATIC ${brxpack_logic})
  set(core_scope PUBLIC)
else()
  add_library(brxpack_core INTERFACE)
  set(core_scope INTERFACE)
endif()
brx_strict(brxpack_core)
target_include_directories(brxpack_core ${core_scope} ${PROJECT_SOURCE_DIR}/tools)
if(BRX_WIN32)
  target_include_directories(brxpack_core SYSTEM ${core_scope} ${third_party})
endif()
target_include_directories(brxpack_core SYSTEM ${core_scope} ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(brxpack_core ${core_scope} brx_authoring brx brx_version ZLIB::ZLIB
                      ${LIBDEFLATE_LIBRARY})
if(NOT BRX_WIN32)
  # verify checks Authenticode digests with libcrypto; brxpack.exe says it
  # does not (no OpenSSL for MinGW in Debian).
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  target_link_libraries(brxpack_core ${core_scope} OpenSSL::Crypto)
  target_compile_definitions(brxpack_core ${core_scope} BRXPACK_HAS_LIBCRYPTO)
endif()

set(brxpack_entry ${BRX_BRXPACK_SOURCES})
list(FILTER brxpack_entry INCLUDE REGEX "/tools/brxpack/main\\.cpp$")
if(NOT brxpack_entry)
  set(brxpack_entry ${brxpack_logic})
endif()
add_executable(brxpack ${brxpack_entry})
brx_strict(brxpack)
brx_strip(brxpack)
target_link_libraries(brxpack PRIVATE brxpack_core)

if(BRX_BRXPACK_TEST_SOURCES AND NOT BRX_WIN32 AND NOT BRX_SKIP_TESTS)
  add_executable(brxpack_tests ${BRX_BRXPACK_TEST_SOURCES})
  brx_strict(brxpack_tests)
  target_link_libraries(brxpack_tests PRIVATE brxpack_core brx_test_support gmock_main)
  brx_add_gtests(brxpack_tests brxpack.)
endif()
