# Cost of one viscosity evaluation per fluid and of the brine properties, and
# with the EOS core: viscosity including its EOS calls, and the whole query
# V(P, Q=0).
add_executable(props_transport_bench ${CMAKE_CURRENT_LIST_DIR}/props_transport_bench.cpp)
target_link_libraries(props_transport_bench PRIVATE fluidprops_transport fluidprops_brine fluidprops_core
                      benchmark::benchmark)
