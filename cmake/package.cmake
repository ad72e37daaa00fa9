# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes korvel_<version>_<arch>.deb from the
# install rules; the libraries it needs are found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR "The KORVEL developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for the KDX7720C USB HF antenna analyzer")
set(CPACK_PACKAGE_CONTACT "${KORVEL_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed programs carry no debugging information.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KORVEL_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KORVEL_BUILD_GUI)
    # The window needs a Qt platform plugin (xcb or wayland), which no library
    # dependency brings in, and a font with the full-width forms: Debian's
    # default fonts have no "！" for the link-error message.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-lexi-gulim")
endif()
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "KORVEL drives the KDX7720C USB antenna analyzer over 1 to 60 MHz. Its
window sweeps the VSWR of three frequency ranges and the S21 transmission
continuously, shows the impedance at one frequency on a Smith chart (at the
device port and at the far end of a cable), measures RF power and runs the
instrument's two guided calibrations.
.
The console tools measure from scripts (korvel-sweep, CSV or JSON), serve a
simulated instrument on a socket (korvel-sim) and serve a real one to
another process or machine (korvel-bridge).
.
A udev rule template is installed; korvel-sweep --udev-rule writes the rule
that lets the logged-in user open the instrument.")
# udev reads its rules again after the package is installed or removed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/linux/postinst"
                                       "${PROJECT_SOURCE_DIR}/packaging/linux/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
