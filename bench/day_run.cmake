# One simulated day of the controlled chiller at constant conditions and under
# a daily profile of ambient and chilled-water temperatures, with
# several output intervals and table resolutions (registered with
# CYCLESIM_BENCH_LONG set).
add_executable(day_run_bench ${CMAKE_CURRENT_LIST_DIR}/day_run_bench.cpp)
target_link_libraries(day_run_bench PRIVATE cyclesim_simulator counting_props test_support benchmark::benchmark)
add_dependencies(day_run_bench Orvane Compressor Evaporator Condenser fluidprops)
