target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/datadirs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filepath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hugepages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagemeta.cpp)
