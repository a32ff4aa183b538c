# tests of the recognizer, fetch and registration
larkvane_test(test_browser_logic
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/test_browser_logic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_pages.cpp ${CMAKE_CURRENT_LIST_DIR}/test_pages.h
    ${CMAKE_CURRENT_LIST_DIR}/marker_recognizer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/item_data_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_fetcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_watcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registration_test.cpp
  LIBS larkvane_browser_logic)
