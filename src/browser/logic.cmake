add_library(larkvane_browser_logic STATIC
  page_watcher.h registration.h
)
target_include_directories(larkvane_browser_logic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(larkvane_browser_logic PUBLIC larkvane_state larkvane_core Qt6::Core Qt6::Network)
set_target_properties(larkvane_browser_logic PROPERTIES LINKER_LANGUAGE CXX)
