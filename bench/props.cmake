# Cost per PropsSI call of the queries the blocks make (through the shared
# library's C entry, as the blocks call it), cached and uncached saturation,
# and the query mix of one condenser derivative evaluation.
add_executable(props_bench ${CMAKE_CURRENT_LIST_DIR}/props_bench.cpp)
target_link_libraries(props_bench PRIVATE fluidprops benchmark::benchmark)
