# Install rules and the Debian package. Included at the end of the top-level
# CMakeLists.txt; only the window build has a program to install.
#   cmake --install <build> --prefix <dir>
#   cpack -G DEB  (in a Release build; packaging/build-deb.sh does both)
if(NOT TESSARO_GUI OR NOT TARGET tessaro)
    return()
endif()

include(GNUInstallDirs)

# The reverse-DNS id of desktop integration: the launcher, the AppStream
# record and the software centres' page all go by this one name.
set(TESSARO_APP_ID "io.github.veltmark_soft.tessaro")

install(TARGETS tessaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tessaro-wsjtx)
    get_target_property(tessaro_module_dir tessaro-wsjtx TESSARO_INSTALL_DIR)
    install(TARGETS tessaro-wsjtx LIBRARY DESTINATION ${tessaro_module_dir})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tessaro.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${TESSARO_APP_ID}.desktop)

configure_file(${PROJECT_SOURCE_DIR}/packaging/${TESSARO_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/packaging/${TESSARO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${TESSARO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Every rendered size of the icon, named the way the launcher's Icon= asks for it.
file(GLOB TESSARO_ICON_PNGS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/icon-*.png)
foreach(png ${TESSARO_ICON_PNGS})
    get_filename_component(stem ${png} NAME_WE)
    string(REGEX REPLACE "^icon-" "" size ${stem})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tessaro.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tessaro.svg)

# README and the licence; Debian's policy wants the machine-readable
# copyright file beside them in every binary package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaro)

# Debian package: the libraries' packages come from dpkg-shlibdeps; the
# platform plugin and the fonts are loaded at run time, so they are named here.
# Whoever builds a package for others sets their own name and address here.
set(TESSARO_PACKAGE_MAINTAINER
    "Tessaro developers (Veltmark-soft) <veltmark-soft@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VENDOR Veltmark-soft)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_NAME tessaro)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSARO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the long text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessaro computes the distance between two places, the bearing from the first
toward the second and the reverse bearing, and translates each place between
degrees, minutes and seconds and the 6- or 8-character Maidenhead (QTH)
locator. A GPS receiver on a serial port (NMEA GLL sentences) can feed the
start or the destination point, and a car page shows the destination's
bearing relative to the vehicle's heading.")
# A source package never takes build trees or Git's files along.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
