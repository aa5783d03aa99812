# The Windows build: cross-compiled on Debian with MinGW-w64 against a static
# Qt (scripts/build-windows-qt.sh), its tests run under wine.
if(NOT WIN32)
    return()
endif()

# One tessaro.exe that needs no DLL beside it.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
# The host's rcc compresses with zstd, which this Qt cannot read.
set(CMAKE_AUTORCC_OPTIONS --no-zstd)

if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(TESSARO_WINE wine REQUIRED)
    set(TESSARO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "wine prefix of the tests")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh.in
                   ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

if(BUILD_TESTING AND NOT TARGET GTest::gtest)
    # No MinGW build of GoogleTest is packaged: build Debian's sources here,
    # without the project's warning flags (added after this file).
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The program's icon, packed from the pictures in resources/, as its first icon
# resource (Explorer's and the Start menu's picture of tessaro.exe).
function(tessaro_windows_icon target)
    set(pictures)
    foreach(size 16 32 48 64 128 256)
        list(APPEND pictures ${PROJECT_SOURCE_DIR}/resources/icon-${size}.png)
    endforeach()
    set(ico ${CMAKE_CURRENT_BINARY_DIR}/tessaro.ico)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(OUTPUT ${ico}
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/windows/make_ico.py ${ico} ${pictures}
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/make_ico.py ${pictures})
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/icon.rc "1 ICON \"${ico}\"\n")
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/icon.rc PROPERTIES OBJECT_DEPENDS ${ico})
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/icon.rc)
endfunction()
