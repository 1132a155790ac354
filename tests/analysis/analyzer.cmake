# The per-photo analysis record. The photo tests need tests/vision/fetch-test-photos.sh.
mendral_test(analyzer_test
  analysis/analyzer_fake.cpp
  analysis/analyzer_parts_test.cpp
  analysis/analyzer_record_test.cpp)
mendral_test(analyzer_photos_test analysis/analyzer_photos_test.cpp)

mendral_test(analyzer_cli_test analysis/analyzer_cli_test.cpp)
target_compile_definitions(analyzer_cli_test PRIVATE MENDRAL_CLI="$<TARGET_FILE:mendral-cli>")
add_dependencies(analyzer_cli_test mendral-cli)
