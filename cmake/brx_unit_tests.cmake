# brx_unit_tests: the GoogleTest binary over the library, in both presets.
if(NOT BRX_UNIT_TEST_SOURCES)
  return()
endif()
add_executable(brx_unit_tests ${BRX_UNIT_TEST_SOURCES})
brx_strict(brx_unit_tests)
target_link_libraries(brx_unit_tests PRIVATE brx_test_support brx_authoring brx gmock_main)
brx_add_gtests(brx_unit_tests "")
