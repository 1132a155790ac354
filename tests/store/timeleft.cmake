mendral_test(timeleft_test store/timeleft_test.cpp)
