# The benchmark card maker: a library (also used by the card test) and the make-card program.
# DNG files are written with libtiff (Debian libtiff-dev); without it the card maker is left out.
if(NOT TARGET mendral_card)
  pkg_check_modules(LIBTIFF IMPORTED_TARGET libtiff-4)
  if(NOT LIBTIFF_FOUND)
    message(STATUS "libtiff-4 not found: make-card and the card test are not built")
    return()
  endif()
  add_library(mendral_card STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cardplan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framerender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frameblur.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cardfiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/makecard.cpp)
  target_include_directories(mendral_card PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  # The faces that people frames blur or are framed around come from the program's own detector.
  target_link_libraries(mendral_card PUBLIC Qt6::Core Qt6::Gui Qt6::Concurrent
    PRIVATE mendral_core PkgConfig::EXIV2 PkgConfig::LIBHEIF PkgConfig::LIBTIFF)
  add_executable(make-card ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
  target_link_libraries(make-card PRIVATE mendral_card)
endif()
