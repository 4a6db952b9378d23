# `cpack -G DEB` builds the Debian package from what `cmake --install` installs.
set(CPACK_PACKAGE_NAME dodiveverazed)
set(CPACK_PACKAGE_VENDOR "Dodiveverazed developers")
set(CPACK_PACKAGE_CONTACT "Dodiveverazed developers <team@dodiveverazed.de>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split files into numbered fragments and join them back")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/dist/package-description.txt)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries (dpkg-shlibdeps). The window also needs at run time the
# fonts its layout was measured in and Qt's German translations of the standard buttons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
