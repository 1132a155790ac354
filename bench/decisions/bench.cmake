add_executable(bench_decisions ${CMAKE_CURRENT_LIST_DIR}/bench_decisions.cpp)
target_link_libraries(bench_decisions PRIVATE mendral_core)
