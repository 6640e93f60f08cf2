# The core library brx, the authoring library brx_authoring, the in-memory
# Windows brx_simulated_windows and the test-support library brx_test_support.

if(BRX_WIN32)
  # Static zlib, so PATCH.EXE imports no zlib1.dll.
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

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

# The publisher's half of the format (the section encoders), for brxpack
# and the tests. PATCH.EXE links brx alone, never this.
add_library(brx_authoring STATIC ${BRX_AUTHORING_SOURCES})
brx_strict(brx_authoring)
brx_no_exceptions(brx_authoring)
target_link_libraries(brx_authoring PUBLIC brx)

# The in-memory Windows: brxpack's simulate runs the installer on it, and
# the tests' FakeSystem is it with faults added.
add_library(brx_simulated_windows STATIC ${BRX_SIMULATED_WINDOWS_SOURCES})
brx_strict(brx_simulated_windows)
target_include_directories(brx_simulated_windows PUBLIC ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(brx_simulated_windows PUBLIC brx)

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
target_link_libraries(brx_test_support ${support_scope} brx_simulated_windows brx_authoring brx)
if(NOT BRX_FUZZ)
  # For the GoogleTest binaries (brxpack_workspace.h asserts with it). Its
  # compiled sources use none of it, so the fuzzers link them without
  # building GoogleTest and GoogleMock.
  target_link_libraries(brx_test_support ${support_scope} gmock)
endif()
