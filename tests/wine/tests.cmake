# What only the Windows build's tests have, run under wine through the
# cross-compiling emulator; included by tests/CMakeLists.txt before the folders.

set(TESSARO_WINE_PORTS "${CMAKE_BINARY_DIR}/ports" CACHE PATH
    "where null_modem.py puts the links wine's COM1 and COM2 name")
# COM1 and COM2 are one pseudo-terminal pair each, joined by null_modem.py
# (for test_serial_com, tests/serial).
set(TESSARO_WINE_NULL_MODEM
    "${CMAKE_CURRENT_LIST_DIR}/null_modem.py;${TESSARO_WINE_PORTS};${CMAKE_CROSSCOMPILING_EMULATOR}")

if(TESSARO_GUI)
    # The program as a user starts it: a fix on COM1, Esc, the values in the registry.
    add_test(NAME Windows.FixOnComOneIsSavedToTheRegistry
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/end_to_end.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                     $<TARGET_FILE:tessaro> ${TESSARO_WINE_PORTS})
    set_tests_properties(Windows.FixOnComOneIsSavedToTheRegistry PROPERTIES
                         RESOURCE_LOCK com_ports TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()
