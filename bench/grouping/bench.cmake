add_executable(bench_grouping
  ${CMAKE_CURRENT_LIST_DIR}/bench_grouping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synthetic.cpp)
target_link_libraries(bench_grouping PRIVATE mendral_core)
