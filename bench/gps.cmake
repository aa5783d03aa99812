# GPS intake on the real window: fix throughput and byte-to-screen latency.
if(TESSARO_GUI)
    add_executable(bench_intake ${CMAKE_CURRENT_LIST_DIR}/bench_intake.cpp)
    target_link_libraries(bench_intake PRIVATE tessaro_window tessaro_test_support
                                               benchmark::benchmark)
    if(TARGET tessaro_resources)
        target_link_libraries(bench_intake PRIVATE tessaro_resources)
    endif()
endif()

# gpsd's regression logs into the real window, directly and through gpsd:
# bench/receiver_logs.sh runs it on every log that has a fix.
if(TESSARO_GUI)
    add_executable(receiver_logs ${CMAKE_CURRENT_LIST_DIR}/receiver_logs.cpp)
    target_link_libraries(receiver_logs PRIVATE tessaro_window tessaro_test_support)
    if(TARGET tessaro_resources)
        target_link_libraries(receiver_logs PRIVATE tessaro_resources)
    endif()
endif()
