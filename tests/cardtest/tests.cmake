# The benchmark card: its plan, its pixels and what a scan makes of it.
if(NOT TARGET cardtest)
  mendral_test(cardtest ${CMAKE_CURRENT_LIST_DIR}/cardtest.cpp)
  target_link_libraries(cardtest PRIVATE mendral_card)
endif()
