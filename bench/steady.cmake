# The steady point of the controlled chiller (cyclesim steady) against the
# transient that settles at the same point.
add_executable(steady_bench ${CMAKE_CURRENT_LIST_DIR}/steady_bench.cpp)
target_link_libraries(steady_bench PRIVATE cyclesim_simulator test_support benchmark::benchmark)
add_dependencies(steady_bench Orvane Compressor Evaporator Condenser fluidprops)
