target_sources(mendral_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/theme.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons.cpp
)
