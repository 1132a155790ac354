mendral_test(renditions_test
  analysis/renditions_stats_test.cpp
  analysis/renditions_thumbnail_test.cpp
  analysis/renditions_files.cpp)
target_link_libraries(renditions_test PRIVATE PkgConfig::LIBHEIF)

mendral_test(renditions_cli_test analysis/renditions_cli_test.cpp analysis/renditions_files.cpp)
target_link_libraries(renditions_cli_test PRIVATE PkgConfig::LIBHEIF)
target_compile_definitions(renditions_cli_test PRIVATE MENDRAL_CLI="$<TARGET_FILE:mendral-cli>")
add_dependencies(renditions_cli_test mendral-cli)
