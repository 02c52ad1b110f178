# Compressor: one output call at a typical point, time and property queries
# per call (through the counting library of tests/support).
add_executable(compressor_bench ${CMAKE_CURRENT_LIST_DIR}/compressor_bench.cpp)
target_link_libraries(compressor_bench PRIVATE cyclesim_hosting counting_props test_support benchmark::benchmark)
add_dependencies(compressor_bench Compressor analyticprops fluidprops)
