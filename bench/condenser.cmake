# Condenser: one output call and one derivative call per mode and exchanger
# type at a typical R134a point with the real property library, with the
# property queries of each call.
add_executable(condenser_bench ${CMAKE_CURRENT_LIST_DIR}/condenser_bench.cpp)
target_link_libraries(condenser_bench PRIVATE condenser_model cyclesim_hosting test_support benchmark::benchmark dl)
add_dependencies(condenser_bench Condenser fluidprops)
