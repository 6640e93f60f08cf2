# What a publisher installs: `cmake --install` lays it out, CPack packs it
# (scripts/dist, behind make dist, writes both packages to build/dist/).
#   release preset, a Debian package:  bin/brxpack
#                                      share/brindlex-updater/PATCH.EXE
#                                      share/doc/brindlex-updater/  README, docs/, examples/
#   win32 preset, a zip:               brxpack.exe and PATCH.EXE side by side, README,
#                                      docs/, examples/
# brxpack finds PATCH.EXE in either place by itself (stub_location.h).
if(BRX_WIN32)
  set(brx_doc_dir .)
  install(TARGETS brxpack RUNTIME DESTINATION .)
  if(TARGET PATCH)
    install(TARGETS PATCH RUNTIME DESTINATION .)
  endif()
else()
  set(brx_doc_dir share/doc/${BRX_PACKAGE_NAME})
  install(TARGETS brxpack RUNTIME DESTINATION bin)
  # The native build cannot make PATCH.EXE; it takes the win32 preset's.
  set(BRX_PATCH_EXE "" CACHE FILEPATH "The PATCH.EXE to install beside brxpack (the win32 preset's)")
  install(CODE "
    if(NOT EXISTS \"${BRX_PATCH_EXE}\")
      message(FATAL_ERROR \"No PATCH.EXE to install at '${BRX_PATCH_EXE}' (BRX_PATCH_EXE): \"
                          \"build the win32 preset first, or run make dist\")
    endif()")
  if(BRX_PATCH_EXE)
    install(FILES ${BRX_PATCH_EXE} DESTINATION share/${BRX_PACKAGE_NAME})
  endif()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${brx_doc_dir})
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
  # zlib); PATCH.EXE is a Windows program and needs nothing of Debian's.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack puts the summary above these lines.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "brxpack composes update packages from a folder and a manifest, turns them\n"
      "into self-applying executables with the installer PATCH.EXE (installed\n"
      "beside it), and lists, verifies and extracts them.")
endif()
include(CPack)
