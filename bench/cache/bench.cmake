add_executable(bench_cache ${CMAKE_CURRENT_LIST_DIR}/bench_cache.cpp)
target_link_libraries(bench_cache PRIVATE mendral_core)
