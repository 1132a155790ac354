add_executable(bench_scan ${CMAKE_CURRENT_LIST_DIR}/bench_scan.cpp)
target_link_libraries(bench_scan PRIVATE mendral_core PkgConfig::EXIV2)
