# What a publisher installs: `cmake --install` lays it out, CPack packs it
# (scripts/dist, behind make dist, writes both packages to build/dist/).
#   release preset, a Debian package:  bin/brxpack
#                                      share/brindlex-updater/PATCH.EXE      the x86 stub
#                                      share/brindlex-updater/x64/PATCH.EXE  the x64 stub
#                                      share/doc/brindlex-updater/  README, docs/, examples/,
#                                        copyright, changelog.gz
#                                      share/man/man1/brxpack.1.gz
#                                      share/bash-completion/completions/brxpack
#   win32 preset, a zip:               brxpack.exe and PATCH.EXE side by side, x64/PATCH.EXE,
#                                      README, docs/, examples/, copyright.txt
# brxpack finds both stubs in either place by itself (stub_file.h). A
# stub this build does not make comes from its own preset's tree:
set(BRX_PATCH_EXE "" CACHE FILEPATH "The x86 PATCH.EXE to install (the win32 preset's)")
set(BRX_PATCH64_EXE "" CACHE FILEPATH "The x64 PATCH.EXE to install (the win64 preset's)")

# Installs a stub made by another preset; the install fails, saying which,
# when that preset has not built it.
function(brx_install_stub_from variable destination)
  set(file "${${variable}}")
  install(CODE "
    if(NOT EXISTS \"${file}\")
      message(FATAL_ERROR \"No PATCH.EXE to install at '${file}' (${variable}): \"
                          \"build its preset first, or run make dist\")
    endif()")
  if(file)
    install(FILES ${file} DESTINATION ${destination})
  endif()
endfunction()

# The build tree's brxpack finds a stub made by another preset beside itself,
# as the installed one does: a link, so that a stub built later is found.
function(brx_link_stub_from variable link)
  if(${variable})
    get_filename_component(folder ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${${variable}} ${link} SYMBOLIC)
  endif()
endfunction()

if(BRX_WIN32)
  set(brx_doc_dir .)
  install(TARGETS brxpack RUNTIME DESTINATION .)
  if(TARGET PATCH AND BRX_WINDOWS_ARCH STREQUAL "x64")
    install(TARGETS PATCH RUNTIME DESTINATION x64)
    brx_install_stub_from(BRX_PATCH_EXE .)
  elseif(TARGET PATCH)
    install(TARGETS PATCH RUNTIME DESTINATION .)
    brx_install_stub_from(BRX_PATCH64_EXE x64)
    brx_link_stub_from(BRX_PATCH64_EXE ${CMAKE_BINARY_DIR}/x64/PATCH.EXE)
  endif()
else()
  set(brx_doc_dir share/doc/${BRX_PACKAGE_NAME})
  install(TARGETS brxpack RUNTIME DESTINATION bin)
  # The native build cannot make PATCH.EXE; it takes the Windows presets'.
  brx_install_stub_from(BRX_PATCH_EXE share/${BRX_PACKAGE_NAME})
  brx_install_stub_from(BRX_PATCH64_EXE share/${BRX_PACKAGE_NAME}/x64)
  brx_link_stub_from(BRX_PATCH_EXE ${CMAKE_BINARY_DIR}/PATCH.EXE)
  brx_link_stub_from(BRX_PATCH64_EXE ${CMAKE_BINARY_DIR}/x64/PATCH.EXE)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${brx_doc_dir})
if(BRX_WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME copyright.txt)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${BRX_CLI_DOCS}/changelog.gz
          DESTINATION ${brx_doc_dir})
  install(FILES ${BRX_CLI_DOCS}/brxpack.1.gz DESTINATION share/man/man1)
  install(FILES ${BRX_CLI_DOCS}/brxpack.bash DESTINATION share/bash-completion/completions
          RENAME brxpack)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${brx_doc_dir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/basic DESTINATION ${brx_doc_dir}/examples)

set(CPACK_PACKAGE_NAME ${BRX_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Brindlex)
set(CPACK_PACKAGE_CONTACT "Brindlex Updater developers <updater@brindlex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "brxpack: makes self-applying updates of Windows programs with the Brindlex installer")
set(CPACK_STRIP_FILES ON)
if(BRX_WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${BRX_PACKAGE_NAME}-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # dpkg-shlibdeps names the libraries brxpack links (libc, libstdc++,
  # zlib); the PATCH.EXEs are Windows programs and need nothing of Debian's.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack puts the summary above these lines.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "brxpack composes update packages from a folder and a manifest, turns them\n"
      "into self-applying executables with the installer PATCH.EXE (its x86 and\n"
      "x64 builds are installed beside it), and lists, verifies and extracts them.")
endif()
include(CPack)
