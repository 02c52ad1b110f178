# The example chiller run whole (60 s of plant time; one hour on request),
# with the property queries counted through the counting library of
# tests/support.
add_executable(chiller_bench ${CMAKE_CURRENT_LIST_DIR}/chiller_bench.cpp)
target_link_libraries(chiller_bench PRIVATE cyclesim_simulator counting_props test_support benchmark::benchmark)
add_dependencies(chiller_bench Orvane Compressor Evaporator Condenser fluidprops)
