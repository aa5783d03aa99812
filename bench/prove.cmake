# Proof programs: the long soak of the GPS road and the start-up time and
# memory. The idle cost is measured by idle_cost.sh on the program itself.
if(TESSARO_GUI)
    add_executable(tessaro-soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp
                                ${PROJECT_SOURCE_DIR}/tests/prove/Soak.cpp)
    target_include_directories(tessaro-soak PRIVATE ${PROJECT_SOURCE_DIR}/tests/prove)
    target_link_libraries(tessaro-soak PRIVATE tessaro_window tessaro_test_support)

    add_executable(tessaro-startup-bench ${CMAKE_CURRENT_LIST_DIR}/startup.cpp)
    target_link_libraries(tessaro-startup-bench PRIVATE tessaro_window tessaro_test_support)

    # The floor for the start-up on a real X screen, and the program that
    # times both there (bench/README.md).
    add_executable(tessaro-bare-window ${CMAKE_CURRENT_LIST_DIR}/bare_window.cpp)
    target_link_libraries(tessaro-bare-window PRIVATE Qt6::Widgets)
    if(PkgConfig_FOUND)
        pkg_check_modules(XCB QUIET IMPORTED_TARGET xcb)
    endif()
    if(XCB_FOUND)
        add_executable(tessaro-map-time ${CMAKE_CURRENT_LIST_DIR}/map_time.cpp)
        target_link_libraries(tessaro-map-time PRIVATE PkgConfig::XCB)
    else()
        message(STATUS "tessaro-map-time: xcb not found (libxcb1-dev), left out")
    endif()

    # The pictures, as the program has them (an object library: linked directly).
    if(TARGET tessaro_resources)
        target_link_libraries(tessaro-soak PRIVATE tessaro_resources)
        target_link_libraries(tessaro-startup-bench PRIVATE tessaro_resources)
    endif()
endif()
