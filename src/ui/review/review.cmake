# The review screen: canvas and 100 % view, film strip, compare grid.
target_sources(mendral_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/reviewview.cpp
)
