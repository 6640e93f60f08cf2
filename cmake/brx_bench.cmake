# Native benchmark programs (tools/bench/host_*.cpp): build/<preset>/bench/<name>.
# Their figures mean something only in the release preset; the others build
# them so they cannot rot.
if(BRX_WIN32)
  return()
endif()
foreach(program ${BRX_BENCH_HOST_PROGRAMS})
  get_filename_component(name ${program} NAME_WE)
  add_executable(bench_${name} ${program})
  set_target_properties(bench_${name} PROPERTIES
    OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  brx_strict(bench_${name})
  target_link_libraries(bench_${name} PRIVATE brx ZLIB::ZLIB)
endforeach()
