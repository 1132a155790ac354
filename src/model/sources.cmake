target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/enums.cpp
  ${CMAKE_CURRENT_LIST_DIR}/photo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/photogroup.cpp)
