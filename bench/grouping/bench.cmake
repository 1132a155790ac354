add_executable(bench_grouping
  ${CMAKE_CURRENT_LIST_DIR}/bench_grouping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synthetic.cpp)
target_link_libraries(bench_grouping PRIVATE mendral_core)

# End to end on real photos; writes its card with the test helpers' EXIF writer.
if(TARGET mendral_testsupport)
  add_executable(bench_grouping_card ${CMAKE_CURRENT_LIST_DIR}/bench_grouping_card.cpp)
  target_link_libraries(bench_grouping_card PRIVATE mendral_core mendral_testsupport)
endif()
