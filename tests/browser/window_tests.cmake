# tests of the browser window
larkvane_test(test_browser_window BROWSER
  SOURCES browser_window_test.cpp fake_browser_engine.h
  LIBS larkvane_browser)
