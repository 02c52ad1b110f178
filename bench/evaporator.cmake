# Evaporator: one output call at typical points with the real property
# library; time per call, property queries and eval_evp_dir evaluations per
# call.
add_executable(evaporator_bench ${CMAKE_CURRENT_LIST_DIR}/evaporator_bench.cpp)
target_link_libraries(evaporator_bench PRIVATE cyclesim_hosting evaporator_model test_support benchmark::benchmark dl)
target_link_options(evaporator_bench PRIVATE -Wl,--wrap=eval_evp_dir -Wl,--wrap=metodo_NTU -Wl,--wrap=calor_NTU)
add_dependencies(evaporator_bench Evaporator fluidprops)
