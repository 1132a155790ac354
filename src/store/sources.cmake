target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/appstore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/appstore_decisions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/appstore_duplicates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/appstore_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/appstore_import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modelnotice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/appstore_recommendations.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recommendations.cpp)
