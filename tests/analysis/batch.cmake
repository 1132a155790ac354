mendral_test(batch_test analysis/batch_test.cpp)
