# The card maker lives in bench/make-card; pull in its fragments (and the card test, which
# needs it) from here until those folders are listed by the bench and tests builds themselves.
file(GLOB card_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../make-card/*.cmake)
foreach(fragment IN LISTS card_fragments)
  include(${fragment})
endforeach()
if(BUILD_TESTING AND COMMAND mendral_test)
  find_package(GTest REQUIRED) # its imported targets are local to the folder that found them
  file(GLOB card_test_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../../tests/cardtest/*.cmake)
  foreach(fragment IN LISTS card_test_fragments)
    include(${fragment})
  endforeach()
endif()
