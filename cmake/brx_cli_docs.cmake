# What the Debian package adds for the command line, written at build time:
# the man page and bash completion from brxpack's own --help
# (scripts/make-cli-docs), and the man page and changelog gzipped as Debian
# keeps them (-n: no name or time inside, so builds are reproducible).
# A cross build cannot run the brxpack it makes, so only native builds do this.
find_program(BRX_GZIP gzip REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(BRX_CLI_DOCS ${CMAKE_BINARY_DIR}/cli-docs)
add_custom_command(
  OUTPUT ${BRX_CLI_DOCS}/brxpack.1 ${BRX_CLI_DOCS}/brxpack.bash
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make-cli-docs
          $<TARGET_FILE:brxpack> ${BRX_CLI_DOCS}
  DEPENDS brxpack ${PROJECT_SOURCE_DIR}/scripts/make-cli-docs
  COMMENT "Writing brxpack's man page and bash completion from its --help")
add_custom_command(
  OUTPUT ${BRX_CLI_DOCS}/brxpack.1.gz ${BRX_CLI_DOCS}/changelog.gz
  COMMAND ${BRX_GZIP} -9nkf ${BRX_CLI_DOCS}/brxpack.1
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${BRX_CLI_DOCS}/changelog
  COMMAND ${BRX_GZIP} -9nf ${BRX_CLI_DOCS}/changelog
  DEPENDS ${BRX_CLI_DOCS}/brxpack.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(brxpack_cli_docs ALL DEPENDS ${BRX_CLI_DOCS}/brxpack.1.gz
                                               ${BRX_CLI_DOCS}/brxpack.bash)

if(NOT BRX_SKIP_TESTS)
  add_test(NAME cli_docs.completion_and_man_page
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/unit/cli_docs_test.sh ${BRX_CLI_DOCS})
  set_tests_properties(cli_docs.completion_and_man_page PROPERTIES LABELS unit TIMEOUT 60)
endif()
