# The Debian package: `cpack -G DEB` in a Release build folder (make package does this and
# checks the result with scripts/check-package.sh).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "velmora")
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(VELMORA_PACKAGE_MAINTAINER "Velmora developers <velmora@example.org>" CACHE STRING
    "Maintainer field of the Debian package (name <address>)")
set(CPACK_PACKAGE_CONTACT "${VELMORA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Design of active analog filters built from op-amp stages")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "velmora")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Design of active analog filters built from op-amp stages
 Velmora takes a lowpass, highpass, bandpass or bandstop specification, computes
 the Butterworth, Chebyshev, inverse Chebyshev, elliptic and Bessel approximations
 side by side, pairs poles and zeros into stages, offers op-amp circuits for
 every stage and computes their resistor and capacitor values. The package holds
 the command-line program velmora and the desktop program velmora-gui.")
# dpkg-shlibdeps reads the libraries the programs link against and names the packages
# that hold them; without it the list is written out for the libraries of Debian 12.
find_program(VELMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELMORA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, libgcc-s1, libfmt9, libqt6core6, libqt6gui6, libqt6widgets6, libqt6printsupport6, libqt6svg6")
endif()
# The menu entry and the .fl3 type take effect once the system's caches are refreshed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
