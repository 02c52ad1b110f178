# The exported controlled chiller driven through its FMI functions, as an
# importer drives it (the tests' importer): time per communication step.
add_executable(fmu_bench ${CMAKE_CURRENT_LIST_DIR}/fmu_bench.cpp)
target_include_directories(fmu_bench PRIVATE ${CMAKE_SOURCE_DIR}/host/fmu ${CMAKE_SOURCE_DIR}/tests/fmu)
target_link_libraries(fmu_bench PRIVATE cyclesim_sweep nlohmann_json::nlohmann_json benchmark::benchmark dl)
target_compile_definitions(fmu_bench PRIVATE CYCLESIM_BUILD_DIR="${CMAKE_BINARY_DIR}"
                           CYCLESIM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(fmu_bench cyclesim cyclesim_fmu Orvane Compressor Evaporator Condenser fluidprops)
