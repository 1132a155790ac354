# A fixed-time libFuzzer run over the property-list reader and the cache decoder, built with
# clang in a tree of its own; skipped when clang or libFuzzer is not installed.
add_test(NAME bplist_fuzz
  COMMAND ${CMAKE_COMMAND} -DMENDRAL_ROOT=${PROJECT_SOURCE_DIR}
          -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/bplist_fuzz -DSECONDS=20
          -P ${CMAKE_CURRENT_LIST_DIR}/bplist_fuzz/run.cmake)
set_tests_properties(bplist_fuzz PROPERTIES
  SKIP_REGULAR_EXPRESSION "bplist fuzz: skipped" TIMEOUT 900 LABELS fuzz)
