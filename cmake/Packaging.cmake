# A Debian package of what `cmake --install` puts in place (`cpack -G DEB` in the build folder).
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <developers@vantrel.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vantrel.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "send files and directory trees between computers over TLS")
# Lines of the extended description, each under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel sends single files and whole directory trees from one computer to
another, directly and encrypted. Every running copy is at once a TLS server
and a client; broken transfers resume, rates can be capped, and a copy
without a display serves its auto-receive rules (a systemd user unit runs it).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and its component link are found by dpkg-shlibdeps (the platform
# plugins, the offscreen one included, come with libqt6gui6); the SVG icon loader Qt finds at
# run time is named here. An opener for the manual and for "Open File" / "Open Parent Dir" is
# recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme, xdg-utils")
# Files in the package owned by root whatever the builder's umask, as dpkg-deb expects.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
