# add_sfun_block(NAME SOURCES...)
#
# Builds one S-function plug-in, build/blocks/<NAME>.so, from genuine Level-2
# C sources. The plug-in is compiled with hidden symbol visibility so that the
# only exported symbol is the glue's entry point; two plug-ins loaded into one
# process therefore never bind to each other's globals (parameter records,
# library handles, fluid names).
function(add_sfun_block NAME)
  add_library(${NAME} MODULE ${ARGN})
  set_target_properties(${NAME} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/blocks
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    BUILD_RPATH "$ORIGIN/../lib"
    INSTALL_RPATH "$ORIGIN/../lib")
  # MATLAB_MEX_FILE as mex defines it; SFUN_REQUIRE_MODULE_DEFINES makes
  # simstruc.h refuse a module without S_FUNCTION_NAME/S_FUNCTION_LEVEL, as
  # the commercial host's header depends on them.
  target_compile_definitions(${NAME} PRIVATE MATLAB_MEX_FILE SFUN_REQUIRE_MODULE_DEFINES)
  target_link_libraries(${NAME} PRIVATE sfun_block_common sfunrt m dl)
  # Refuse undefined symbols at link time: a plug-in must be complete. (Not
  # in the fuzz build: Clang leaves the sanitizer runtime to the program.)
  if(NOT CYCLESIM_FUZZ)
    target_link_options(${NAME} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
