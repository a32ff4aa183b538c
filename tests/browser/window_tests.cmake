# the window's rules that need no browser
larkvane_test(test_browser_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/browser_rules_test.cpp
  LIBS larkvane_browser_rules)
# tests of the browser window
larkvane_test(test_browser_window BROWSER
  SOURCES browser_window_test.cpp fake_browser_engine.h in_process_link.h
    ${CMAKE_CURRENT_LIST_DIR}/test_pages.cpp ${CMAKE_CURRENT_LIST_DIR}/test_pages.h
  LIBS larkvane_link_browser larkvane_link_program)

# An item page served on loopback, through the real browser, the page reader
# and the registration, to a counting slot; and a list page's items at once.
larkvane_test(test_browser_end_to_end BROWSER
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/end_to_end_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_pages.cpp ${CMAKE_CURRENT_LIST_DIR}/test_pages.h
    ${CMAKE_CURRENT_LIST_DIR}/in_process_link.h
  LIBS larkvane_link_browser larkvane_app Qt6::Network)
