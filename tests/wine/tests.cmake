# The tests of the Windows build, run under wine through the cross-compiling
# emulator. Included by tests/CMakeLists.txt in place of its folder loop: the
# tests that need POSIX (pseudo-terminals, signals) stay out.

# Under wine each process start costs seconds (the window tests' font
# enumeration above all), so each test program is one CTest test that runs
# all its cases once; its output names any case that fails.
function(gtest_discover_tests target)
    cmake_parse_arguments(arg "NO_PRETTY_VALUES" "DISCOVERY_TIMEOUT" "PROPERTIES" ${ARGN})
    add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
    set_tests_properties(${target} PROPERTIES TIMEOUT 900 ${arg_PROPERTIES})
endfunction()

set(TESSARO_WINE_PORTS "${CMAKE_BINARY_DIR}/ports" CACHE PATH
    "where null_modem.py puts the links wine's COM1 and COM2 name")

add_subdirectory(geodesy)
include(${CMAKE_CURRENT_SOURCE_DIR}/app/pagecalc.cmake)

add_executable(test_gps gps/RtTokenTest.cpp gps/GllTest.cpp gps/GllReplayTest.cpp)
target_link_libraries(test_gps PRIVATE tessaro_gps tessaro_test_support GTest::gtest_main)
target_compile_definitions(test_gps PRIVATE TESSARO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
gtest_discover_tests(test_gps NO_PRETTY_VALUES)
if(NOT TESSARO_GUI)
    return()
endif()

add_executable(test_serial_fake serial/SerialFakeTest.cpp
                                serial/PortMapTest.cpp)
target_link_libraries(test_serial_fake PRIVATE tessaro_serial tessaro_test_main_core)
gtest_discover_tests(test_serial_fake NO_PRETTY_VALUES)

# COM1 and COM2 are one pseudo-terminal pair each, joined by null_modem.py.
add_executable(test_serial_com serial/SerialComTest.cpp)
target_link_libraries(test_serial_com PRIVATE tessaro_serial tessaro_test_main_core)
set_target_properties(test_serial_com PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_SOURCE_DIR}/wine/null_modem.py;${TESSARO_WINE_PORTS};${CMAKE_CROSSCOMPILING_EMULATOR}")
gtest_discover_tests(test_serial_com NO_PRETTY_VALUES PROPERTIES RESOURCE_LOCK com_ports)

# The program as a user starts it: a fix on COM1, Esc, the values in the registry.
add_test(NAME Windows.FixOnComOneIsSavedToTheRegistry
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/end_to_end.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:tessaro> ${TESSARO_WINE_PORTS})
set_tests_properties(Windows.FixOnComOneIsSavedToTheRegistry PROPERTIES
                     RESOURCE_LOCK com_ports TIMEOUT 120 SKIP_RETURN_CODE 77)

# The window tests: the real window on wine's display, its settings in wine's registry
# (one key for all: scripts/build-windows.sh runs the tests one at a time).
include(${CMAKE_CURRENT_SOURCE_DIR}/app/pages.cmake)
add_executable(test_window app/test_window.cpp)
target_link_libraries(test_window PRIVATE tessaro_test_main_window tessaro_resources)
add_executable(test_gps_window gps/GpsIntakeTest.cpp gps/GpsControlTest.cpp)
target_include_directories(test_gps_window PRIVATE app)
target_link_libraries(test_gps_window PRIVATE tessaro_test_main_window)
foreach(name test_window test_gps_window)
    gtest_discover_tests(${name} NO_PRETTY_VALUES PROPERTIES RESOURCE_LOCK registry)
endforeach()
