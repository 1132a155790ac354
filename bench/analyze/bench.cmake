add_executable(bench_analyze ${CMAKE_CURRENT_LIST_DIR}/bench_analyze.cpp)
target_link_libraries(bench_analyze PRIVATE mendral_core)
target_include_directories(bench_analyze PRIVATE ${CMAKE_SOURCE_DIR}/tests)
