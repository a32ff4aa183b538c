# Page fetch and the page readers: QtCore and QtNetwork, no store, no widgets.
add_library(larkvane_pages STATIC
  page_fetcher.cpp page_fetcher.h
  marker_recognizer.cpp marker_recognizer.h
  page_data.cpp page_data.h
  item_data_recognizer.cpp item_data_recognizer.h
  page_recognizer.cpp page_recognizer.h
  price_reader.cpp price_reader.h
  service_time.cpp service_time.h
  background_page_reader.cpp background_page_reader.h
)
target_include_directories(larkvane_pages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(larkvane_pages PUBLIC larkvane_core Qt6::Core Qt6::Network)

# What the browser window's pages come to: the page read for its times, the
# registration of a timer.
add_library(larkvane_browser_logic STATIC
  page_watcher.cpp page_watcher.h
  registration.cpp registration.h
)
target_include_directories(larkvane_browser_logic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(larkvane_browser_logic PUBLIC larkvane_alarm_logic larkvane_pages larkvane_state larkvane_core Qt6::Core Qt6::Network)
