# A new question in the property library's core, with the fast path and with
# the earlier iterations.
add_executable(flash_bench ${CMAKE_CURRENT_LIST_DIR}/flash_bench.cpp)
target_link_libraries(flash_bench PRIVATE fluidprops_core benchmark::benchmark)
