# The review screen: canvas and 100 % view, film strip, compare grid.
target_sources(mendral_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/reviewview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reviewview_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reviewbars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reviewcanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reviewgeometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/photocanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/actualsizecanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/navigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filmcell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filmstrip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/comparegrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pill.cpp
  ${CMAKE_CURRENT_LIST_DIR}/overlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fittedcache.cpp
)
