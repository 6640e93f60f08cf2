# The two-thread tests under ThreadSanitizer: the hand-over between the
# worker and a window thread played by the test. Only what they link is
# built (the libraries, the fake system, the target fixture and GoogleTest),
# so the layer stays quick.
set(BRX_THREAD_TEST_SOURCES ${BRX_TESTS}/unit/handover_test.cpp)
if(TARGET brx_test_support)
  set_target_properties(brx_test_support PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
add_executable(brx_thread_tests ${BRX_THREAD_TEST_SOURCES} ${BRX_TESTS}/support/fake_system.cpp
  ${BRX_TESTS}/support/package_samples.cpp ${BRX_TESTS}/support/target_fixture.cpp)
brx_strict(brx_thread_tests)
target_include_directories(brx_thread_tests PRIVATE ${BRX_TESTS})
target_link_libraries(brx_thread_tests PRIVATE brx_authoring brx gtest_main)
brx_add_gtests(brx_thread_tests "tsan.")
