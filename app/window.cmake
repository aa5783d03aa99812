# The main window TForm1, the GPS source it shows, and the program. Included
# by app/CMakeLists.txt.
set(TESSARO_WINDOW_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Application.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Form1.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Form1.ui
    ${CMAKE_CURRENT_LIST_DIR}/FormGps.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FormKeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FormPages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FormSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GpsSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HelpText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LocatorLink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Widgets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Win1252.cpp)

add_library(tessaro_window STATIC ${TESSARO_WINDOW_SOURCES})
# The layout is Form1.ui; Form1.h includes the ui_Form1.h that uic makes of it,
# so the targets that include Form1.h see the generated folder too.
set_target_properties(tessaro_window PROPERTIES AUTOUIC ON)
get_property(tessaro_multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(tessaro_multi_config)
    set(tessaro_ui_dir ${CMAKE_CURRENT_BINARY_DIR}/tessaro_window_autogen/include_$<CONFIG>)
else()
    set(tessaro_ui_dir ${CMAKE_CURRENT_BINARY_DIR}/tessaro_window_autogen/include)
endif()
target_include_directories(tessaro_window PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                                                 $<BUILD_INTERFACE:${tessaro_ui_dir}>)
target_link_libraries(tessaro_window PUBLIC tessaro_pagecalc tessaro_gps Qt6::Widgets)

# The link to WSJT-X and JTDX (Qt Network). On Linux a module that the window
# loads when the link is first turned on, so that the program starts without
# Qt Network and the libraries it pulls in; on Windows linked in.
add_library(tessaro_locator_udp OBJECT ${CMAKE_CURRENT_LIST_DIR}/LocatorUdp.cpp)
set_target_properties(tessaro_locator_udp PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(tessaro_locator_udp PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tessaro_locator_udp PUBLIC tessaro_net tessaro_source_address Qt6::Network)
if(WIN32)
    target_link_libraries(tessaro_window PUBLIC tessaro_locator_udp)
else()
    include(GNUInstallDirs)
    add_library(tessaro-wsjtx MODULE)
    target_link_libraries(tessaro-wsjtx PRIVATE tessaro_locator_udp)
    # Where the package puts it (cmake/Install.cmake), and that seen from the program.
    set_target_properties(tessaro-wsjtx PROPERTIES PREFIX ""
                          TESSARO_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tessaro)
    target_compile_definitions(tessaro_locator_udp PUBLIC TESSARO_LOCATOR_MODULE)
    file(RELATIVE_PATH tessaro_module_from_program ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_FULL_LIBDIR}/tessaro)
    target_compile_definitions(tessaro_window PRIVATE TESSARO_LOCATOR_MODULE
        TESSARO_LOCATOR_MODULE_FILE="$<TARGET_FILE_NAME:tessaro-wsjtx>"
        TESSARO_LOCATOR_MODULE_DIR="${tessaro_module_from_program}")
    add_dependencies(tessaro_window tessaro-wsjtx)
endif()
if(TARGET tessaro_serial)
    target_link_libraries(tessaro_window PUBLIC tessaro_serial)
endif()
# The About page's version line: the project's four numbers (absent ones are 0).
foreach(part MAJOR MINOR PATCH TWEAK)
    set(TESSARO_VERSION_${part} 0)
    if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
        set(TESSARO_VERSION_${part} ${PROJECT_VERSION_${part}})
    endif()
endforeach()
target_compile_definitions(tessaro_window PRIVATE
    TESSARO_VERSION_MAJOR=${TESSARO_VERSION_MAJOR} TESSARO_VERSION_MINOR=${TESSARO_VERSION_MINOR}
    TESSARO_VERSION_PATCH=${TESSARO_VERSION_PATCH} TESSARO_VERSION_TWEAK=${TESSARO_VERSION_TWEAK})

add_executable(tessaro WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(tessaro PRIVATE tessaro_window tessaro_translations)
# The pictures are an object library: linked directly, so their initialiser stays.
if(TARGET tessaro_resources)
    target_link_libraries(tessaro PRIVATE tessaro_resources)
endif()
if(WIN32)
    # The same numbers as the executable's version resource.
    configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc
                   @ONLY)
    target_sources(tessaro PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
    tessaro_windows_icon(tessaro)
endif()
