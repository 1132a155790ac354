target_sources(mendral_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/thumbnail.cpp
  ${CMAKE_CURRENT_LIST_DIR}/imagestats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/focus.cpp)
target_link_libraries(mendral_core PRIVATE PkgConfig::LIBRAW PkgConfig::LIBHEIF)
