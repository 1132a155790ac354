# The per-photo analysis record: faces, eyes, prints and colours on top of the renditions.
target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/analyzer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/analyzerparts.cpp)
