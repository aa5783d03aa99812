# The three calculation pages driven through the real window; included by
# tests/app/CMakeLists.txt.
add_executable(test_pages ${CMAKE_CURRENT_LIST_DIR}/test_pages.cpp)
target_link_libraries(test_pages PRIVATE tessaro_test_main_window tessaro_window tessaro_resources
                                         tessaro_translations
                                         Qt6::Test GTest::gtest)
gtest_discover_tests(test_pages NO_PRETTY_VALUES PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
                     DISCOVERY_TIMEOUT 30)
