mendral_test(platform_test platform/filepath_test.cpp platform/datadirs_test.cpp)
