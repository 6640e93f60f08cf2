# brx_unit_tests: the GoogleTest binary. The host build holds every test over
# FakeSystem; the Windows build, run under Wine, only what needs the real
# system: the win32_* tests and their test window.
set(sources ${BRX_UNIT_TEST_SOURCES})
if(BRX_WIN32)
  list(FILTER sources INCLUDE REGEX "/win32_[^/]*_test\\.cpp$")
  set_target_properties(brx_test_support PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
if(NOT sources)
  return()
endif()
add_executable(brx_unit_tests ${sources})
brx_strict(brx_unit_tests)
if(BRX_WIN32)
  target_sources(brx_unit_tests PRIVATE ${BRX_TESTS}/support/win32_test_window.cpp)
  target_include_directories(brx_unit_tests PRIVATE ${BRX_TESTS})
  target_link_libraries(brx_unit_tests PRIVATE brx gtest_main)
else()
  target_link_libraries(brx_unit_tests PRIVATE brx_test_support brx_authoring brx gmock_main)
  # GoogleTest's header, compiled once: about 8% off building the binary.
  target_precompile_headers(brx_unit_tests PRIVATE <gtest/gtest.h> <functional> <string> <vector>)
endif()
brx_add_gtests(brx_unit_tests "")
