# The property library against itself on the recorded question stream of the
# example chiller, with the fast path of new questions on and off.
add_executable(question_stream_bench ${CMAKE_CURRENT_LIST_DIR}/question_stream_bench.cpp)
target_link_libraries(question_stream_bench PRIVATE cyclesim_simulator counting_props test_support fluidprops_core
                      benchmark::benchmark)
target_include_directories(question_stream_bench PRIVATE ${CMAKE_SOURCE_DIR}/props/src)
add_dependencies(question_stream_bench Orvane Compressor Evaporator Condenser fluidprops)
