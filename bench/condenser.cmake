# Condenser: one output call and one derivative call per mode and exchanger
# type at a typical R134a point with the real property library (skipped when it
# has not been built), with the property queries of each call.
if(TARGET Condenser AND TARGET condenser_model AND TARGET cyclesim_hosting AND TARGET test_support)
  if(NOT TARGET benchmark::benchmark)
    find_package(benchmark REQUIRED)
  endif()
  add_executable(condenser_bench ${CMAKE_CURRENT_LIST_DIR}/../tests/blocks/condenser/condenser_bench.cpp)
  target_link_libraries(condenser_bench PRIVATE condenser_model cyclesim_hosting test_support benchmark::benchmark dl)
  add_dependencies(condenser_bench Condenser)
endif()
