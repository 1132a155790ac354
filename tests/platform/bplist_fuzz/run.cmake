# Builds the fuzz target with clang and runs it for a fixed time over a corpus kept in the
# build tree. Prints "bplist fuzz: skipped" (the test's skip pattern) when clang or its
# libFuzzer runtime is missing.
#   -DMENDRAL_ROOT=<source tree> -DWORK_DIR=<folder> -DSECONDS=<n> [-DCLANGXX=<clang++>]
if(NOT CLANGXX)
  find_program(CLANGXX NAMES clang++ clang++-14)
endif()
if(NOT CLANGXX)
  message("bplist fuzz: skipped (clang++ not found)")
  return()
endif()

file(MAKE_DIRECTORY ${WORK_DIR}/probe)
file(WRITE ${WORK_DIR}/probe/probe.cpp
  "#include <cstddef>\n#include <cstdint>\n"
  "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }\n")
execute_process(COMMAND ${CLANGXX} -fsanitize=fuzzer ${WORK_DIR}/probe/probe.cpp
                        -o ${WORK_DIR}/probe/probe
                RESULT_VARIABLE probe OUTPUT_QUIET ERROR_QUIET)
if(NOT probe EQUAL 0)
  message("bplist fuzz: skipped (clang's libFuzzer runtime is missing)")
  return()
endif()

set(build ${WORK_DIR}/build)
if(NOT EXISTS ${build}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${build}
                          -DCMAKE_CXX_COMPILER=${CLANGXX} -DMENDRAL_ROOT=${MENDRAL_ROOT}
                  RESULT_VARIABLE configured)
  if(NOT configured EQUAL 0)
    message(FATAL_ERROR "bplist fuzz: configuring the fuzz build failed")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "bplist fuzz: building the fuzz target failed")
endif()

set(corpus ${WORK_DIR}/corpus)
file(MAKE_DIRECTORY ${corpus} ${WORK_DIR}/artifacts)
set(ENV{BPLIST_FUZZ_SEEDS} ${corpus})
execute_process(COMMAND ${build}/bplist_fuzz -max_total_time=${SECONDS} -timeout=10
                        -rss_limit_mb=2048 -print_final_stats=1
                        -artifact_prefix=${WORK_DIR}/artifacts/ ${corpus}
                RESULT_VARIABLE fuzzed)
if(NOT fuzzed EQUAL 0)
  message(FATAL_ERROR "bplist fuzz: the reader failed on an input; see ${WORK_DIR}/artifacts")
endif()
