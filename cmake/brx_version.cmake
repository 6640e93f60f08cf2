# The project's version, set once in project(), reaches the programs through
# a generated header (build/<preset>/generated/brx_version.h): PATCH.EXE's
# version resource and manifest, brxpack --version, and the package names.
set(BRX_PACKAGE_NAME brindlex-updater)
# The four-part form of version resources and application manifests.
set(BRX_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(BRX_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/brx_version.h.in ${BRX_GENERATED}/brx_version.h @ONLY)

add_library(brx_version INTERFACE)
target_include_directories(brx_version INTERFACE ${BRX_GENERATED})
