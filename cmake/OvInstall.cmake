# Installation and the Debian package.
#   cmake --install build --prefix /opt/ovcgvestrel     everything under the prefix
#   cpack --config build/CPackConfig.cmake              ovcgvestrel_<version>_<arch>.deb
# The program's folder holds what the console finds beside itself (library,
# qss/, help/, Resources/, log/, config.ini); see OvInstallLayout.cmake for
# where settings and log live under each prefix.

set(OV_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/ovcgvestrel)

# The simulator comes along so that a new installation can be tried without a
# CG server (it is not put on the search path).
install(TARGETS ovcg-sim RUNTIME DESTINATION ${OV_INSTALL_APPDIR})
install(FILES console/resources/Resources/logo_large.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME ovcgvestrel.png)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ovcgvestrel)
install(FILES packaging/config.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ovcgvestrel RENAME config.ini.example)
install(CODE "set(OV_APPDIR \"${OV_INSTALL_APPDIR}\")
set(OV_PACKAGING_DIR \"${CMAKE_SOURCE_DIR}/packaging\")")
install(SCRIPT cmake/OvInstallLayout.cmake)

set(OV_PACKAGE_MAINTAINER "OvCGVestrel project <ovcgvestrel@localhost>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ovcgvestrel)
set(CPACK_PACKAGE_VERSION ${OV_PRODUCT_VERSION})
set(CPACK_PACKAGE_VENDOR "${OV_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${OV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator console for publishing broadcast CG graphics")
set(CPACK_PACKAGE_DESCRIPTION
  "OvCGVestrel lists the CG items (captions, lower thirds) of a CG server on the\n"
  "LAN as tiles and puts the current item on PGM or PVW, or takes it off air.\n"
  "Every change, whoever made it, is shown in an operation log and appended to\n"
  "/var/log/ovcgvestrel/log.txt, which members of the group ovcgvestrel may write.\n"
  "The package includes ovcg-sim, a CG server simulator for trying the console.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps; the private widget library is
# found in the build tree. adduser makes the log group and the rotation account
# in postinst.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${OV_RUN_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
# Every UI text is Chinese; the help opens in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, xdg-utils")
set(OV_CONFFILES ${CMAKE_BINARY_DIR}/packaging/conffiles)
file(WRITE ${OV_CONFFILES} "/etc/ovcgvestrel/config.ini\n/etc/logrotate.d/ovcgvestrel\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm ${OV_CONFFILES})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
