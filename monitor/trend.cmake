# The trend: a day of readings of every channel, drawn with Qwt (trend_history, trend_plot).
add_library(korun_trend STATIC trend_history.h trend_history.cpp trend_plot.h trend_plot.cpp)
set_target_properties(korun_trend PROPERTIES AUTOMOC ON)
target_include_directories(korun_trend PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(korun_trend PUBLIC Qt5::Widgets Qwt::Qwt)
