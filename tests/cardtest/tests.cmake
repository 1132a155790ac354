# The benchmark card: its plan, its pixels and what a scan makes of it. Needs the card maker
# (bench/make-card), which is only built where libtiff is present.
if(NOT TARGET cardtest)
  pkg_check_modules(LIBTIFF IMPORTED_TARGET libtiff-4)
  if(LIBTIFF_FOUND)
    mendral_test(cardtest ${CMAKE_CURRENT_LIST_DIR}/cardtest.cpp)
    target_link_libraries(cardtest PRIVATE mendral_card)
  endif()
endif()
