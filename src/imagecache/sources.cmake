target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/imagestore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpegfile.cpp)
