# Neural models: TensorFlow.js graph models rewritten into TensorFlow graphs for OpenCV's dnn.
find_package(OpenCV REQUIRED COMPONENTS core imgproc dnn)
find_package(Protobuf REQUIRED)
if(NOT TARGET dlib::dlib)
  find_package(dlib REQUIRED GLOBAL)
endif()

target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/tfgraph.proto
  ${CMAKE_CURRENT_LIST_DIR}/tfjsweights.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tfjsgraph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tfjsfacenet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tfjsfuse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tfjsmodels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tfjsnet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modelcheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/neural.cpp
  ${CMAKE_CURRENT_LIST_DIR}/neuralface.cpp)

file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
# The generated tfgraph.pb.h lands in <build>/src/vision, included as "vision/tfgraph.pb.h".
protobuf_generate(TARGET mendral_core LANGUAGE cpp
  IMPORT_DIRS ${CMAKE_CURRENT_LIST_DIR}
  PROTOC_OUT_DIR ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(mendral_core PUBLIC ${CMAKE_CURRENT_BINARY_DIR} ${OpenCV_INCLUDE_DIRS})
target_link_libraries(mendral_core PUBLIC ${OpenCV_LIBS} protobuf::libprotobuf PRIVATE dlib::dlib)
