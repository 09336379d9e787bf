# The bus traffic view: the Modbus client's own frame log, decoded line by line.
add_library(korun_traffic STATIC
    traffic_decoder.h
    traffic_decoder.cpp
    traffic_view.h
    traffic_view.cpp
)
set_target_properties(korun_traffic PROPERTIES AUTOMOC ON)
target_include_directories(korun_traffic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(korun_traffic PUBLIC Qt5::Widgets)
