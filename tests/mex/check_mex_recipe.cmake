# The mex build recipe: the copy in mex/ is the one CMake generates from its
# source lists, every block builds from exactly that recipe against our
# S-function headers (tests/mex/fake_mex.sh in place of mex), and every
# block's main source also compiles as for code generation (no
# MATLAB_MEX_FILE), where simulation-only callbacks must not be left behind.
#
# Called with -D SOURCE_DIR, BINARY_DIR, SFUN_HEADERS, SFUN_RUNTIME_DIR, CC.

set(generated ${BINARY_DIR}/mex)
set(outdir ${BINARY_DIR}/mex/out)

foreach(script build_blocks.sh build_blocks.m)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE_DIR}/mex/${script} ${generated}/${script}
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "mex/${script} is not the recipe the build generates from its source lists; "
                        "copy ${generated}/${script} to mex/ and commit it")
  endif()
endforeach()

file(REMOVE_RECURSE ${outdir})
set(ENV{MEX} ${SOURCE_DIR}/tests/mex/fake_mex.sh)
set(ENV{MEX_OUTDIR} ${outdir})
set(ENV{SFUN_HEADERS} ${SFUN_HEADERS})
set(ENV{SFUN_RUNTIME_DIR} ${SFUN_RUNTIME_DIR})
set(ENV{CC} ${CC})
execute_process(COMMAND sh ${generated}/build_blocks.sh WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(failed)
  message(FATAL_ERROR "the mex recipe does not build against our headers:\n${err}")
endif()

# One line per block: its main source is the first C file, then its folders.
file(STRINGS ${generated}/build_blocks.sh commands REGEX "^\"\\$MEX\"")
list(LENGTH commands n)
if(n LESS 4)
  message(FATAL_ERROR "the recipe builds ${n} blocks; expected the four")
endif()
foreach(command ${commands})
  string(REGEX MATCH "[^ ]+\\.c" main ${command})
  string(REGEX MATCHALL "-I[^ ]+" includes ${command})
  get_filename_component(name ${main} NAME_WE)
  if(NOT EXISTS ${outdir}/${name}.mexa64)
    message(FATAL_ERROR "the recipe did not build ${name}")
  endif()
  execute_process(COMMAND ${CC} -std=c99 -D_POSIX_C_SOURCE=200809L -c -Wall -Wextra -Werror=unused-function
                          -DSFUN_REQUIRE_MODULE_DEFINES -I${SOURCE_DIR}/tests/mex/cg_stub -I${SFUN_HEADERS}
                          ${includes} ${main} -o ${outdir}/${name}.cg.o
                  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed ERROR_VARIABLE err)
  if(failed)
    message(FATAL_ERROR "${main} does not compile for code generation (no MATLAB_MEX_FILE):\n${err}")
  endif()
endforeach()
