# libFuzzer targets: one executable per tests/fuzz/*_fuzzer.cpp, each a ctest
# test that replays its regressions and fuzzes a fixed number of runs over a
# temporary copy of its corpus (scripts/run-fuzzer).
# Fuzzers that run a whole installation per input go about ten times slower
# than the package fuzzer; fewer runs keep make test's smoke runs short (the
# regressions are replayed whatever the count; make fuzz runs for minutes).
set(BRX_FUZZ_WHOLE_RUN_FUZZERS driver_fuzzer section_payload_fuzzer)
set(BRX_FUZZ_WHOLE_RUN_RUNS 5000 CACHE STRING "Runs per whole-installation fuzzer in ctest")
foreach(source ${BRX_FUZZER_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  brx_strict(${name})
  target_link_libraries(${name} PRIVATE brx_test_support brx_authoring brx)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(runs ${BRX_FUZZ_RUNS})
  if(name IN_LIST BRX_FUZZ_WHOLE_RUN_FUZZERS)
    set(runs ${BRX_FUZZ_WHOLE_RUN_RUNS})
  endif()
  add_test(NAME fuzz.${name}
    COMMAND ${BRX_SCRIPTS}/run-fuzzer $<TARGET_FILE:${name}> ${name})
  set_tests_properties(fuzz.${name} PROPERTIES
    LABELS fuzz
    TIMEOUT 1800
    ENVIRONMENT "BRX_SOURCE=${PROJECT_SOURCE_DIR};BRX_BUILD=${CMAKE_BINARY_DIR};BRX_FUZZ_DEFAULT_RUNS=${runs}")
endforeach()

# The writer of the fuzzers' seeds and regressions, built on request only
# (see tests/fuzz/make_fuzz_inputs.cpp).
add_executable(make_fuzz_inputs EXCLUDE_FROM_ALL ${BRX_TESTS}/fuzz/make_fuzz_inputs.cpp)
brx_strict(make_fuzz_inputs)
target_link_libraries(make_fuzz_inputs PRIVATE brx_test_support)
