mendral_test(scan_test scan/scanner_test.cpp scan/scanner_files_test.cpp analysis/renditions_files.cpp)
target_link_libraries(scan_test PRIVATE PkgConfig::LIBHEIF)
