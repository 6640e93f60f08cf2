# Precompiled headers for brxpack's logic and its test binary. Nearly every
# brxpack source includes these standard headers (<filesystem> alone is most
# of a small file's 70,000 preprocessed lines), so parsing them once per
# build takes about a third off building brxpack_core in the host and MinGW
# presets, where it is the largest part of make test's builds.
# The release preset turns this off (BRX_PRECOMPILED_HEADERS=OFF): GCC 12 at
# -O3 reports a false -Warray-bounds in std::string code restored from a
# precompiled header, and one build without the forced include keeps every
# source honest about what it includes.
option(BRX_PRECOMPILED_HEADERS "Precompile the standard headers of brxpack and its tests" ON)
if(NOT BRX_PRECOMPILED_HEADERS)
  return()
endif()

set(BRX_BRXPACK_PCH
  <algorithm> <cstdint> <filesystem> <map> <optional> <string> <string_view>
  <system_error> <unordered_map> <vector>)

if(TARGET brxpack_core)
  get_target_property(type brxpack_core TYPE)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    target_precompile_headers(brxpack_core PRIVATE ${BRX_BRXPACK_PCH})
  endif()
endif()
if(TARGET brxpack_tests)
  # GoogleTest's headers too, as brx_unit_tests does.
  target_precompile_headers(brxpack_tests PRIVATE <gmock/gmock.h> <gtest/gtest.h> ${BRX_BRXPACK_PCH})
endif()
