# Page logic (pure) and the shipped artwork; included by tests/app/CMakeLists.txt.
add_executable(test_pagecalc ${CMAKE_CURRENT_LIST_DIR}/test_pagecalc.cpp)
target_link_libraries(test_pagecalc PRIVATE tessaro_pagecalc GTest::gtest_main)
gtest_discover_tests(test_pagecalc NO_PRETTY_VALUES)

if(TESSARO_GUI)
    add_executable(test_resources ${CMAKE_CURRENT_LIST_DIR}/test_resources.cpp)
    target_link_libraries(test_resources PRIVATE tessaro_resources Qt6::Gui GTest::gtest_main)
    gtest_discover_tests(test_resources NO_PRETTY_VALUES)
endif()
