# Evaporator: one output call at typical points with the real property
# library; time per call, property queries and eval_evp_dir evaluations per
# call. Needs the host engine and the test helpers.
if(TARGET Evaporator AND TARGET evaporator_model AND TARGET cyclesim_hosting AND TARGET test_support)
  add_executable(evaporator_bench ${CMAKE_SOURCE_DIR}/tests/blocks/evaporator/evaporator_bench.cpp)
  target_link_libraries(evaporator_bench PRIVATE cyclesim_hosting evaporator_model test_support
                        benchmark::benchmark dl)
  target_link_options(evaporator_bench PRIVATE -Wl,--wrap=eval_evp_dir -Wl,--wrap=metodo_NTU -Wl,--wrap=calor_NTU)
  add_dependencies(evaporator_bench Evaporator)
  if(TARGET fluidprops)
    add_dependencies(evaporator_bench fluidprops)
  endif()
endif()
