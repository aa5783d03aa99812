# The project's Windows build: the MinGW-w64 cross toolchain plus the static Qt
# that scripts/build-windows-qt.sh made, found through TESSARO_QT_PREFIX (from
# the environment, since CMake re-reads toolchain files without the cache).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

if(NOT DEFINED ENV{TESSARO_QT_PREFIX})
    message(FATAL_ERROR "Set TESSARO_QT_PREFIX to the static Qt for Windows")
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH "$ENV{TESSARO_QT_PREFIX}")
# GeographicLib for the great-circle figures (scripts/build-windows-geographiclib.sh).
if(DEFINED ENV{TESSARO_GEOGRAPHICLIB_PREFIX})
    list(PREPEND CMAKE_FIND_ROOT_PATH "$ENV{TESSARO_GEOGRAPHICLIB_PREFIX}")
endif()
list(PREPEND CMAKE_PREFIX_PATH "$ENV{TESSARO_QT_PREFIX}")
# moc, rcc and uic come from Debian's own Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
