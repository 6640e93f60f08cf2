# Checks on the sources themselves, run with the host tests: the installer's
# floors include one way and PATCH.EXE's sources reach no authoring, tool or
# test code (scripts/check-layers).
add_test(NAME layers.includes COMMAND ${BRX_PYTHON} ${BRX_SCRIPTS}/check-layers ${PROJECT_SOURCE_DIR})
set_tests_properties(layers.includes PROPERTIES LABELS layers)
