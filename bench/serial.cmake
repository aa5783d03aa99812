# Serial close latency and idle CPU on a pseudo-terminal: a plain timing
# program (it needs the window thread's event loop, not a benchmark loop).
if(TESSARO_GUI)
    add_executable(serial_latency ${CMAKE_CURRENT_LIST_DIR}/serial_latency.cpp)
    target_link_libraries(serial_latency PRIVATE tessaro_serial tessaro_test_support Qt6::Core)
endif()
