# The example chiller run whole (60 s of plant time; one hour on request),
# with the property queries counted. Needs the four blocks, our property
# library and the query counter built with the compressor tests.
if(TARGET cyclesim_simulator AND TARGET compressor_counting_props AND TARGET test_support AND TARGET fluidprops)
  add_executable(chiller_bench ${CMAKE_CURRENT_LIST_DIR}/chiller_bench.cpp)
  target_link_libraries(chiller_bench PRIVATE cyclesim_simulator compressor_counting_props test_support
                        benchmark::benchmark)
  target_compile_definitions(chiller_bench PRIVATE CYCLESIM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(chiller_bench Orvane Compressor Evaporator Condenser fluidprops)
endif()
