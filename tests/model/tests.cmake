mendral_test(model_test model/photo_test.cpp)
