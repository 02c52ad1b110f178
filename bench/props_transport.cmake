# Cost of one viscosity evaluation per fluid and of the brine properties.
if(TARGET fluidprops_transport AND TARGET fluidprops_brine)
    if(NOT TARGET benchmark::benchmark)
        find_package(benchmark REQUIRED)
    endif()
    add_executable(props_transport_bench ${CMAKE_CURRENT_LIST_DIR}/props_transport_bench.cpp)
    target_link_libraries(props_transport_bench PRIVATE fluidprops_transport fluidprops_brine benchmark::benchmark)
    if(TARGET fluidprops_core)
        # With the EOS core: viscosity including its EOS calls, and the whole query V(P, Q=0).
        target_link_libraries(props_transport_bench PRIVATE fluidprops_core)
        target_compile_definitions(props_transport_bench PRIVATE PROPS_TRANSPORT_BENCH_WITH_CORE=1)
    endif()
endif()
