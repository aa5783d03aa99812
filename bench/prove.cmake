# Proof programs: the long soak of the GPS road and the start-up time and
# memory. The idle cost is measured by idle_cost.sh on the program itself.
if(TESSARO_GUI)
    add_executable(tessaro-soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp
                                ${PROJECT_SOURCE_DIR}/tests/prove/Soak.cpp)
    target_include_directories(tessaro-soak PRIVATE ${PROJECT_SOURCE_DIR}/tests/prove)
    target_link_libraries(tessaro-soak PRIVATE tessaro_window tessaro_test_support)

    add_executable(tessaro-startup-bench ${CMAKE_CURRENT_LIST_DIR}/startup.cpp)
    target_link_libraries(tessaro-startup-bench PRIVATE tessaro_window tessaro_test_support)

    # The pictures, as the program has them (an object library: linked directly).
    if(TARGET tessaro_resources)
        target_link_libraries(tessaro-soak PRIVATE tessaro_resources)
        target_link_libraries(tessaro-startup-bench PRIVATE tessaro_resources)
    endif()
endif()
