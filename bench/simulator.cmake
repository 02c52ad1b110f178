# Simulator benchmarks: whole runs of small models through the engine, with
# the solver statistics as counters. The models use the simulator's test
# plug-ins (built with the tests); without them the benchmarks report an error.
add_executable(simulator_bench ${CMAKE_CURRENT_LIST_DIR}/simulator_bench.cpp)
target_link_libraries(simulator_bench PRIVATE cyclesim_simulator test_support benchmark::benchmark)
foreach(block TestStiff TestMap TestIntegrator)
  if(TARGET ${block})
    add_dependencies(simulator_bench ${block})
  endif()
endforeach()
