mendral_test(export_test export/exportservice_test.cpp)
