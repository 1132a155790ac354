mendral_test(bplist_test platform/bplist_test.cpp)
