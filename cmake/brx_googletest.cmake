# GoogleTest and GoogleMock from Debian's source package, built with this
# preset's compiler and flags (MinGW, sanitizers, no RTTI) so they link with
# our code. EXCLUDE_FROM_ALL: only what a target links gets built.
set(BRX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${BRX_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${BRX_GOOGLETEST_SOURCE}: run scripts/bootstrap")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${BRX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# Registers every test case of a GoogleTest binary as one ctest test, labelled
# "unit" and named PREFIX + Suite.Case. A Windows binary is listed when ctest
# starts (through Wine), not at build time.
function(brx_add_gtests target prefix)
  set(work ${CMAKE_BINARY_DIR}/test-work/${target})
  file(MAKE_DIRECTORY ${work})
  if(BRX_WIN32)
    set(mode PRE_TEST)
  else()
    set(mode POST_BUILD)
  endif()
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${work}
    DISCOVERY_MODE ${mode}
    DISCOVERY_TIMEOUT 120
    TEST_PREFIX "${prefix}"
    PROPERTIES LABELS unit TIMEOUT 120)
endfunction()
