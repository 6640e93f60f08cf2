# The core library brx, the authoring library brx_authoring and the
# test-support library brx_test_support.

if(BRX_WIN32)
  # Static zlib, so PATCH.EXE imports no zlib1.dll.
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

# libdeflate writes the publisher's zlib streams (brx_authoring only; the
# installer inflates with zlib). Host: Debian's libdeflate-dev; MinGW: the
# library scripts/mingw-libdeflate builds from the same version. Linked
# statically, so an installed brxpack carries the version it was tested with
# and writes the same bytes whatever libdeflate the machine has.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
find_library(LIBDEFLATE_LIBRARY NAMES libdeflate.a)
if(NOT LIBDEFLATE_INCLUDE_DIR OR NOT LIBDEFLATE_LIBRARY)
  message(FATAL_ERROR "libdeflate is missing: run scripts/bootstrap")
endif()
add_library(brx_libdeflate INTERFACE)
target_include_directories(brx_libdeflate SYSTEM INTERFACE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(brx_libdeflate INTERFACE ${LIBDEFLATE_LIBRARY})

if(BRX_LIBRARY_SOURCES)
  add_library(brx STATIC ${BRX_LIBRARY_SOURCES})
  brx_strict(brx)
  brx_no_exceptions(brx)
  set(brx_scope PUBLIC)
else()
  # Nothing written yet: an empty interface keeps the dependants configurable.
  add_library(brx INTERFACE)
  set(brx_scope INTERFACE)
endif()
target_include_directories(brx ${brx_scope} ${BRX_SRC})
target_link_libraries(brx ${brx_scope} ZLIB::ZLIB)
if(BRX_WIN32)
  # Import libraries only add a DLL import when a symbol is used.
  target_link_libraries(brx ${brx_scope} comctl32)
endif()

# The publisher's half of the format (writer, section encoders), built on
# brx's format records. PATCH.EXE links brx alone, never this.
add_library(brx_authoring STATIC ${BRX_AUTHORING_SOURCES})
brx_strict(brx_authoring)
brx_no_exceptions(brx_authoring)
target_link_libraries(brx_authoring PUBLIC brx ZLIB::ZLIB brx_libdeflate)

if(BRX_TEST_SUPPORT_SOURCES)
  add_library(brx_test_support STATIC ${BRX_TEST_SUPPORT_SOURCES})
  brx_strict(brx_test_support)
  set(support_scope PUBLIC)
else()
  add_library(brx_test_support INTERFACE)
  set(support_scope INTERFACE)
endif()
target_include_directories(brx_test_support ${support_scope} ${BRX_TESTS})
if(BRX_FUZZ AND BRX_TEST_SUPPORT_SOURCES)
  # Built only when a fuzzer links it.
  set_target_properties(brx_test_support PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
target_link_libraries(brx_test_support ${support_scope} brx_authoring brx)
if(NOT BRX_FUZZ)
  # For the GoogleTest binaries (brxpack_workspace.h asserts with it). Its
  # compiled sources use none of it, so the fuzzers link them without
  # building GoogleTest and GoogleMock.
  target_link_libraries(brx_test_support ${support_scope} gmock)
endif()
