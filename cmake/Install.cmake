# Linux installs of tarvelline-cli: the program, its manual page and bash completion, and the
# Debian package and tarball (CPack) that tools/package.sh makes of that same tree.
include(GNUInstallDirs)
set(TVL_PACKAGE_MAINTAINER "The Tarvelline developers <developers@tarvelline.org>"
    CACHE STRING "Maintainer of the Linux package: name <address>")
set(tvl_package_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(tvl_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarvelline-cli)
set(tvl_docs ${PROJECT_BINARY_DIR}/package-docs)

# The copyright file in Debian's machine-readable form, from LICENSE: its text indented by one
# space, a blank line as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE tvl_license)
string(REGEX MATCH "Copyright \\(C\\) ([^\n]*)" tvl_match "${tvl_license}")
set(tvl_copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" tvl_license_text "${tvl_license}")
string(STRIP "${tvl_license_text}" tvl_license_text)
string(REPLACE "\n\n" "\n.\n" tvl_license_text "${tvl_license_text}")
string(REPLACE "\n" "\n " tvl_license_text "${tvl_license_text}")
file(WRITE ${tvl_docs}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Tarvelline\n"
     "Source: https://tarvelline.org\n"
     "\n"
     "Files: *\n"
     "Copyright: ${tvl_copyright_holder}\n"
     "License: Expat\n"
     " ${tvl_license_text}\n")

# A native package's changelog, dated by the commit (SOURCE_DATE_EPOCH) so it repeats.
string(TIMESTAMP tvl_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${tvl_docs}/changelog @ONLY)
add_custom_command(OUTPUT ${tvl_docs}/changelog.gz
                   COMMAND gzip -9nf -k ${tvl_docs}/changelog
                   DEPENDS ${tvl_docs}/changelog)
add_custom_target(tvl-package-docs ALL DEPENDS ${tvl_docs}/changelog.gz)

install(TARGETS tarvelline-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/cli/tarvelline-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/cli/tarvelline-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarvelline-cli)
install(FILES ${tvl_docs}/copyright ${tvl_docs}/changelog.gz DESTINATION ${tvl_doc_dir})

# Packages: the .deb and a .tar.gz holding the same usr/ tree.
find_program(TVL_DPKG dpkg)
set(tvl_arch ${CMAKE_SYSTEM_PROCESSOR})
if(TVL_DPKG)
  execute_process(COMMAND ${TVL_DPKG} --print-architecture OUTPUT_VARIABLE tvl_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_NAME tarvelline-cli)
set(CPACK_PACKAGE_VERSION ${tvl_package_version})
set(CPACK_PACKAGE_VENDOR "The Tarvelline developers")
set(CPACK_PACKAGE_CONTACT "${TVL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_FILE_NAME tarvelline-cli_${tvl_package_version}_${tvl_arch})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "identify and convert Doom-engine IWAD releases")
set(CPACK_PACKAGE_DESCRIPTION
    "tarvelline-cli tells which release of a Doom-engine game an IWAD file is, by\n"
    "the SHA-1 digest of the whole file, finds the game files installed on the\n"
    "system, and converts a release into another release of the same game with\n"
    "VCDIFF patches, checking the result against the catalogue before it is put\n"
    "in place. Its output suits scripts: TAB-separated records or JSON Lines.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME ${CPACK_PACKAGE_FILE_NAME}.deb)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)  # "games" is for packages holding a game
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tarvelline.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries the binary links, found by dpkg-shlibdeps
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
