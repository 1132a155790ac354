# Store tests bring their own main: the import pipeline needs an event loop.
add_executable(store_test
  store/main.cpp
  store/decisions_test.cpp
  store/import_test.cpp
  store/exportstore_test.cpp
  store/duplicates_test.cpp)
target_link_libraries(store_test PRIVATE mendral_testsupport)
gtest_discover_tests(store_test DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
