add_executable(bench_neural ${CMAKE_CURRENT_LIST_DIR}/bench_neural.cpp)
target_link_libraries(bench_neural PRIVATE mendral_core)
