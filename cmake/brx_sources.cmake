# Where sources are found. Adding or removing a file needs no edit here: the
# globs are re-checked at every build.
#   src/{app,steps,run,package,system}/*.cpp
#                                         the library brx (include root src/); each
#                                         floor includes only itself and the floors
#                                         after it in that list (scripts/check-layers)
#     win32_*.cpp                         only in the win32 preset
#     src/app/win32_main.cpp              WinMain: only in PATCH.EXE
#   src/authoring/*.cpp                   brx_authoring, the section encoders: brxpack,
#                                         tests and fuzzers, never PATCH.EXE
#   src/resources/*.rc                    PATCH.EXE resources (see brx_win32.cmake)
#   tests/support/*.cpp                   brx_test_support (include root tests/)
#   tests/unit/*_test.cpp                 brx_unit_tests
#     win32_*_test.cpp                    only in the win32 preset
#     brxpack_*_test.cpp                  brxpack_tests instead (host preset)
#   tools/brxpack/*.cpp, */*.cpp          brxpack (include root tools/, includes name the room:
#                                         "brxpack/host/..."); all but main.cpp also in
#                                         brxpack_tests. Rooms by subject, each including only
#                                         the ones after it (scripts/check-layers):
#                                           commands/ one file per command, the command line
#                                           simulate/ the in-memory Windows an update runs on
#                                           reading/  opening, checking, listing, extracting
#                                           diff/     two releases to a manifest
#                                           package/  plan, entries, compression, the stream writer
#                                           manifest/ the manifest, payload folder and rules
#                                           stub/     finding, branding, signing PATCH.EXE
#                                           contents/ texts, names, paths, section payloads
#                                           host/     real files, console, JSON, progress
#   tests/fuzz/*_fuzzer.cpp               one libFuzzer executable each (fuzz preset)
#   tools/ui_robot/*.cpp                  the UI robot and its Wine helpers (tests, demo, bench):
#                                         one Win32 program each, build/win32/tools/<name>.exe
#   tests/e2e/programs/*.cpp              one Win32 program each: build/win32/e2e/<name>.exe;
#                                         a first line "// subsystem: windows" makes it GUI
#   tests/e2e/dlls/*.cpp                  one Win32 DLL each: build/win32/e2e/<name>.dll
#   tests/e2e/*_test.py                   one e2e ctest each (win32 preset)
#   examples/demo/programs/*.cpp          the demo's Win32 programs: build/win32/demo/<name>.exe
#   tools/bench/host_*.cpp                benchmark programs: build/<preset>/bench/<name> (not win32)
#   tools/bench/win32_*.cpp               benchmark programs: build/win32/bench/<name>.exe

function(brx_glob out)
  file(GLOB files CONFIGURE_DEPENDS ${ARGN})
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Drops win32_* files unless this build targets Windows.
function(brx_only_this_platform var)
  set(files ${${var}})
  if(NOT BRX_WIN32)
    list(FILTER files EXCLUDE REGEX "/win32_[^/]*$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

set(BRX_SRC ${PROJECT_SOURCE_DIR}/src)
set(BRX_TESTS ${PROJECT_SOURCE_DIR}/tests)

brx_glob(BRX_LIBRARY_SOURCES
  ${BRX_SRC}/app/*.cpp ${BRX_SRC}/steps/*.cpp ${BRX_SRC}/run/*.cpp ${BRX_SRC}/package/*.cpp
  ${BRX_SRC}/system/*.cpp)
set(BRX_WINMAIN_SOURCE ${BRX_SRC}/app/win32_main.cpp)
list(REMOVE_ITEM BRX_LIBRARY_SOURCES ${BRX_WINMAIN_SOURCE})
brx_only_this_platform(BRX_LIBRARY_SOURCES)

brx_glob(BRX_AUTHORING_SOURCES ${BRX_SRC}/authoring/*.cpp)

brx_glob(BRX_TEST_SUPPORT_SOURCES ${BRX_TESTS}/support/*.cpp)
brx_only_this_platform(BRX_TEST_SUPPORT_SOURCES)

brx_glob(BRX_UNIT_TEST_SOURCES ${BRX_TESTS}/unit/*_test.cpp)
set(BRX_BRXPACK_TEST_SOURCES ${BRX_UNIT_TEST_SOURCES})
list(FILTER BRX_BRXPACK_TEST_SOURCES INCLUDE REGEX "/brxpack_[^/]*_test\\.cpp$")
list(FILTER BRX_UNIT_TEST_SOURCES EXCLUDE REGEX "/brxpack_[^/]*_test\\.cpp$")
brx_only_this_platform(BRX_UNIT_TEST_SOURCES)

brx_glob(BRX_BRXPACK_SOURCES ${PROJECT_SOURCE_DIR}/tools/brxpack/*.cpp
  ${PROJECT_SOURCE_DIR}/tools/brxpack/*/*.cpp)
set(BRX_BRXPACK_MAIN ${PROJECT_SOURCE_DIR}/tools/brxpack/main.cpp)

brx_glob(BRX_FUZZER_SOURCES ${BRX_TESTS}/fuzz/*_fuzzer.cpp)

brx_glob(BRX_RESOURCE_SOURCES ${BRX_SRC}/resources/*.rc)
brx_glob(BRX_ROBOT_PROGRAMS ${PROJECT_SOURCE_DIR}/tools/ui_robot/*.cpp)
brx_glob(BRX_E2E_PROGRAMS ${BRX_TESTS}/e2e/programs/*.cpp)
brx_glob(BRX_E2E_DLLS ${BRX_TESTS}/e2e/dlls/*.cpp)
brx_glob(BRX_E2E_SCENARIOS ${BRX_TESTS}/e2e/*_test.py)
brx_glob(BRX_DEMO_PROGRAMS ${PROJECT_SOURCE_DIR}/examples/demo/programs/*.cpp)
brx_glob(BRX_BENCH_HOST_PROGRAMS ${PROJECT_SOURCE_DIR}/tools/bench/host_*.cpp)
brx_glob(BRX_BENCH_WIN32_PROGRAMS ${PROJECT_SOURCE_DIR}/tools/bench/win32_*.cpp)
