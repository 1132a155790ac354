target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/decisionstore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/decisionkeeper.cpp)
