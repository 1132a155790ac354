# Store tests bring their own main: the import pipeline needs an event loop.
add_executable(store_test
  store/main.cpp
  store/decisions_test.cpp
  store/keptdecisions_test.cpp
  store/import_test.cpp
  store/exportstore_test.cpp
  store/duplicates_test.cpp)
target_link_libraries(store_test PRIVATE mendral_testsupport)
# A store in a child process, for the test that kills one.
add_executable(decision_child store/decisionchild.cpp)
target_link_libraries(decision_child PRIVATE mendral_core)
target_compile_definitions(store_test PRIVATE DECISION_CHILD="$<TARGET_FILE:decision_child>")
add_dependencies(store_test decision_child)
gtest_discover_tests(store_test DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
