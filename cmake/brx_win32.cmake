# Windows-only products: PATCH.EXE, the end-to-end programs and scenarios,
# and the checks on the shipped executables.

# --- PATCH.EXE: build/win32/PATCH.EXE (x86) or build/win64/PATCH.EXE (x64),
# GUI subsystem, static, small ----------------------------------------------
if(EXISTS ${BRX_WINMAIN_SOURCE})
  add_executable(PATCH WIN32 ${BRX_WINMAIN_SOURCE} ${BRX_RESOURCE_SOURCES})
  set_target_properties(PATCH PROPERTIES OUTPUT_NAME PATCH SUFFIX .EXE)
  brx_strict(PATCH)
  brx_no_exceptions(PATCH)
  brx_strip(PATCH)
  target_link_libraries(PATCH PRIVATE brx)

  # Resources. A .rc finds the files it names in src/resources and in
  # build/win32/resources, where each src/resources/make_*.py writes what it
  # generates: it is run as `python3 make_X.py OUTPUT_DIR` whenever anything
  # in src/resources changes. Each src/resources/X.in is configured there as
  # X (the version, for one), and the .rc sees the generated brx_version.h.
  set(generated ${CMAKE_BINARY_DIR}/resources)
  file(MAKE_DIRECTORY ${generated})
  brx_glob(resource_templates ${BRX_SRC}/resources/*.in)
  foreach(template ${resource_templates})
    get_filename_component(name ${template} NAME)
    string(REGEX REPLACE "\\.in$" "" name ${name})
    configure_file(${template} ${generated}/${name} @ONLY)
  endforeach()
  brx_glob(resource_inputs ${BRX_SRC}/resources/*)
  brx_glob(resource_generators ${BRX_SRC}/resources/make_*.py)
  set(stamps)
  foreach(generator ${resource_generators})
    get_filename_component(name ${generator} NAME_WE)
    add_custom_command(
      OUTPUT ${generated}/${name}.stamp
      COMMAND ${BRX_PYTHON} ${generator} ${generated}
      COMMAND ${CMAKE_COMMAND} -E touch ${generated}/${name}.stamp
      DEPENDS ${resource_inputs}
      WORKING_DIRECTORY ${BRX_SRC}/resources
      COMMENT "Generating resources with ${name}.py"
      VERBATIM)
    list(APPEND stamps ${generated}/${name}.stamp)
  endforeach()
  if(BRX_RESOURCE_SOURCES)
    target_sources(PATCH PRIVATE ${stamps})
    target_include_directories(PATCH PRIVATE
      "$<$<COMPILE_LANGUAGE:RC>:${BRX_SRC}/resources;${generated};${BRX_GENERATED}>")
    # windres reports no dependencies: rebuild the .rc when any input changes.
    set_source_files_properties(${BRX_RESOURCE_SOURCES} PROPERTIES
      OBJECT_DEPENDS "${resource_inputs};${stamps};${BRX_GENERATED}/brx_version.h")
  endif()

  # Its size is a tracked figure: print it with every build that relinks it.
  add_custom_command(TARGET PATCH POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:PATCH> -P ${PROJECT_SOURCE_DIR}/cmake/print_size.cmake
    VERBATIM)

  # Its size budget: the x64 build's wider pointers and unwind tables cost
  # about a twentieth more.
  if(BRX_WINDOWS_ARCH STREQUAL "x64")
    set(budget 98304)
  else()
    set(budget 90112)
  endif()
  add_test(NAME pe.PATCH COMMAND ${BRX_SCRIPTS}/check-pe $<TARGET_FILE:PATCH>
                                 ${BRX_WINDOWS_ARCH} gui --installer --max-bytes ${budget})
  set_tests_properties(pe.PATCH PROPERTIES LABELS pe)
endif()

if(TARGET brxpack)
  add_test(NAME pe.brxpack COMMAND ${BRX_SCRIPTS}/check-pe $<TARGET_FILE:brxpack>
                                   ${BRX_WINDOWS_ARCH} console)
  set_tests_properties(pe.brxpack PROPERTIES LABELS pe)
endif()

# --- Win32 programs: the UI robot, the e2e bench, the demo, the benchmarks --
# One executable per source file in build/win32/<folder>/<name>.exe; a first
# line "// subsystem: windows" makes it a GUI program.
function(brx_add_win32_programs prefix folder)
  foreach(program ${ARGN})
    get_filename_component(name ${program} NAME_WE)
    file(READ ${program} head LIMIT 200)
    string(REGEX MATCH "^[^\n]*" first_line "${head}")
    # The first line decides the subsystem, so reconfigure when the file changes.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${program})
    if(first_line MATCHES "^//[ \t]*subsystem:[ \t]*windows")
      add_executable(${prefix}_${name} WIN32 ${program})
    else()
      add_executable(${prefix}_${name} ${program})
    endif()
    set_target_properties(${prefix}_${name} PROPERTIES
      OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})
    brx_strict(${prefix}_${name})
    brx_strip(${prefix}_${name})
    # An import library adds its DLL only to the programs that call it.
    target_link_libraries(${prefix}_${name} PRIVATE brx version)
    set_property(GLOBAL APPEND PROPERTY BRX_WIN32_PROGRAMS_${prefix} ${prefix}_${name})
  endforeach()
endfunction()

brx_add_win32_programs(tools tools ${BRX_ROBOT_PROGRAMS})
brx_add_win32_programs(e2e e2e ${BRX_E2E_PROGRAMS})
brx_add_win32_programs(demo demo ${BRX_DEMO_PROGRAMS})

# DLLs of the e2e scenarios: build/win32/e2e/<name>.dll, static runtime.
foreach(dll ${BRX_E2E_DLLS})
  get_filename_component(name ${dll} NAME_WE)
  add_library(e2e_dll_${name} SHARED ${dll})
  set_target_properties(e2e_dll_${name} PROPERTIES
    OUTPUT_NAME ${name} PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
  brx_strict(e2e_dll_${name})
  brx_strip(e2e_dll_${name})
  set_property(GLOBAL APPEND PROPERTY BRX_WIN32_PROGRAMS_e2e e2e_dll_${name})
endforeach()
brx_add_win32_programs(bench bench ${BRX_BENCH_WIN32_PROGRAMS})

# What the checks and the e2e scenarios run, and nothing else: scripts/run-tests
# builds only this for an architecture whose Windows unit tests run elsewhere.
add_custom_target(e2e_programs)
get_property(robot_programs GLOBAL PROPERTY BRX_WIN32_PROGRAMS_tools)
get_property(e2e_programs GLOBAL PROPERTY BRX_WIN32_PROGRAMS_e2e)
foreach(target PATCH brxpack ${robot_programs} ${e2e_programs})
  if(TARGET ${target})
    add_dependencies(e2e_programs ${target})
  endif()
endforeach()

# --- End-to-end scenarios: one ctest test per tests/e2e/*_test.py ----------
# Each runs with /usr/bin/python3 inside the Wine batch, told where the build
# and the sources are; they share one prefix, so they run one at a time. Exit
# code 77 reports a skip. The dist scenario takes the release packages that
# scripts/dist writes first (with the release preset's brxpack, which the
# diff_simulate scenario runs as a publisher on Linux does; scripts/run-tests
# builds it with the other presets, so here it is only packed).
add_test(NAME dist.packages COMMAND ${CMAKE_COMMAND} -E env BRX_DIST_PREBUILT=1 ${BRX_SCRIPTS}/dist)
set_tests_properties(dist.packages PROPERTIES
  LABELS e2e RUN_SERIAL ON TIMEOUT 1200 FIXTURES_SETUP dist_packages)
foreach(scenario ${BRX_E2E_SCENARIOS})
  get_filename_component(name ${scenario} NAME_WE)
  string(REGEX REPLACE "_test$" "" name ${name})
  set(work ${CMAKE_BINARY_DIR}/test-work/e2e/${name})
  file(MAKE_DIRECTORY ${work})
  add_test(NAME e2e.${name}
    COMMAND ${BRX_SCRIPTS}/with-wine ${BRX_PYTHON} ${scenario}
    WORKING_DIRECTORY ${work})
  set_tests_properties(e2e.${name} PROPERTIES
    LABELS e2e
    RUN_SERIAL ON
    TIMEOUT 600
    SKIP_RETURN_CODE 77
    ENVIRONMENT "BRX_BUILD=${CMAKE_BINARY_DIR};BRX_SOURCE=${PROJECT_SOURCE_DIR};BRX_WINDOWS_ARCH=${BRX_WINDOWS_ARCH};PYTHONDONTWRITEBYTECODE=1")
  # builder compares brxpack.exe's packages with the release brxpack's,
  # which scripts/dist builds.
  if(name STREQUAL "dist" OR name STREQUAL "diff_simulate" OR name STREQUAL "builder")
    set_tests_properties(e2e.${name} PROPERTIES FIXTURES_REQUIRED dist_packages)
  endif()
endforeach()
