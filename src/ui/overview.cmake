target_sources(mendral_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/thumbwidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/groupcard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pickedthumb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grouppane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/decidedrail.cpp
  ${CMAKE_CURRENT_LIST_DIR}/groupgridview.cpp
)
