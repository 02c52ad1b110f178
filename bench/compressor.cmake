# Compressor: one output call at a typical point, time and property queries
# per call. Needs the host engine and the query counter built with the tests.
if(TARGET Compressor AND TARGET cyclesim_hosting AND TARGET compressor_counting_props AND TARGET test_support)
  add_executable(compressor_bench ${CMAKE_SOURCE_DIR}/tests/blocks/compressor/compressor_bench.cpp)
  target_link_libraries(compressor_bench PRIVATE cyclesim_hosting compressor_counting_props test_support
                        benchmark::benchmark)
  add_dependencies(compressor_bench Compressor analyticprops)
endif()
