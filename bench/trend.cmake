# Fill, memory and drawing times of the trend over a day of 64 channels (see bench_trend.cpp).
add_executable(bench_trend bench_trend.cpp)
target_link_libraries(bench_trend PRIVATE korun_trend)
