# SPDX-License-Identifier: GPL-3.0-or-later

# A Debian package of whatever `cmake --install` puts in place: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR Quorrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer that cuts large log files down to the lines that matter")
set(CPACK_PACKAGE_DESCRIPTION "Ostrel opens huge plain-text log files in tabs and filters them by ordered lists of
literal or regular-expression filters with lines of context. ostrel-filter is the same engine on
the command line.")
set(CPACK_PACKAGE_CONTACT "Ostrel developers <ostrel@quorrel.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_LICENSE GPL-3.0-or-later)
# The libraries the programs link (Qt, QScintilla, X11) become the package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
