# Unity builds: brxpack's sources and the tests compile in batches of 32
# files, one compiler run each. Their files share the same heavy headers
# (<filesystem>, toml++, CLI11, GoogleTest) and templates, so a batch costs
# little more than one file: the host preset builds in half the processor
# time it took file by file with precompiled headers, the release preset's
# brxpack in a third. Names private to a file must therefore differ across
# files (the compiler says when two meet).
# The installer's library stays file by file in the Windows builds, whose
# PATCH.EXE bytes and size are kept. -DBRX_UNITY_BUILD=OFF builds file by
# file, which shows a source that relies on another's includes.
option(BRX_UNITY_BUILD "Compile brxpack and the tests in batches" ON)
if(NOT BRX_UNITY_BUILD)
  return()
endif()

set(unity_targets brxpack_core brx_simulated_windows brxpack_tests brx_unit_tests brx_test_support)
if(NOT BRX_WIN32)
  list(APPEND unity_targets brx brx_authoring)
endif()
foreach(target ${unity_targets})
  if(TARGET ${target})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 32)
    endif()
  endif()
endforeach()
