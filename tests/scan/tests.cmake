mendral_test(scan_test scan/scanner_test.cpp scan/scanner_files_test.cpp)
