# The window's rules that need no browser: the layout in twips, the direct
# access addresses, the status text, what an address loads. QtCore only, so
# their tests run without Chromium and under the sanitizers.
add_library(larkvane_browser_rules STATIC
  browser_engine.cpp browser_engine.h
  browser_layout.cpp browser_layout.h
  direct_access.cpp direct_access.h
  status_text.cpp status_text.h
)
target_include_directories(larkvane_browser_rules PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(larkvane_browser_rules PUBLIC larkvane_core Qt6::Core)

# The browser window frmWeb and the engine behind WebBrows.
qt_add_resources(larkvane_browser_rcc browser.qrc)
add_library(larkvane_browser STATIC
  web_engine_browser.cpp web_engine_browser.h
  browser_window.cpp browser_window.h
  ${larkvane_browser_rcc}
)
target_include_directories(larkvane_browser PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(larkvane_browser PUBLIC larkvane_browser_rules larkvane_link larkvane_core larkvane_widgets Qt6::Widgets Qt6::WebEngineWidgets Qt6::WebChannel Qt6::Svg)

# The browser process: the program starts it when the browser window opens,
# and it ends when the window closes.

add_executable(larkvane-browser browser_main.cpp sanitizer_options.cpp
  ${PROJECT_SOURCE_DIR}/data/larkvane.qrc)
set_target_properties(larkvane-browser PROPERTIES AUTORCC ON)
target_link_libraries(larkvane-browser PRIVATE larkvane_link_browser)
