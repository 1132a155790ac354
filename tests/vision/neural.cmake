# Neural models: the TensorFlow.js loader and rewrites (no model files needed), the graphs
# against TensorFlow.js reference outputs, and the prints on real photos (these two need the
# models scripts/setup installs).
mendral_test(vision_neural_test
  vision/neural_weights_test.cpp
  vision/neural_graph_test.cpp
  vision/neural_golden_test.cpp
  vision/neural_photos_test.cpp)
target_compile_definitions(vision_neural_test PRIVATE
  MENDRAL_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
