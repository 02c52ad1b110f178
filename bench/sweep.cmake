# cyclesim sweep: the controlled chiller's 24-point envelope through the
# command, with and without its settle criterion, and the sweep's own cost per
# point on points that do almost nothing.
find_package(nlohmann_json REQUIRED)
add_executable(sweep_bench ${CMAKE_CURRENT_LIST_DIR}/sweep_bench.cpp)
target_link_libraries(sweep_bench PRIVATE test_support nlohmann_json::nlohmann_json benchmark::benchmark)
add_dependencies(sweep_bench cyclesim fluidprops Orvane Compressor Evaporator Condenser)
