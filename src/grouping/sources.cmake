set(mendral_grouping_sources
  ${CMAKE_CURRENT_LIST_DIR}/blockscan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calibrate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/candidates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clusterer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dsu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printmath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/score.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trace.cpp)
target_sources(mendral_core PRIVATE ${mendral_grouping_sources})
# Grouping results must not depend on the build: products and sums are rounded separately
# everywhere, whatever instructions the compiler may use.
set_source_files_properties(${mendral_grouping_sources} PROPERTIES COMPILE_OPTIONS -ffp-contract=off)
