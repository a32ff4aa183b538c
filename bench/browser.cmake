# The browser window's start-up and memory figures (bench/browser_memory.sh).
# Included from the top level when LARKVANE_BENCH is on.
add_executable(browser_harness ${CMAKE_CURRENT_LIST_DIR}/browser_harness.cpp)
target_include_directories(browser_harness PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
target_link_libraries(browser_harness PRIVATE larkvane_browser larkvane_core Qt6::Widgets Qt6::Test)
