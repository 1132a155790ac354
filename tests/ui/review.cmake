# The review screen: layout arithmetic, and the widgets driven by QTest.
mendral_test(review_geometry_test ui/review_geometry_test.cpp)
target_link_libraries(review_geometry_test PRIVATE mendral_ui)

find_package(Qt6 REQUIRED COMPONENTS Test)
mendral_test(review_widgets_test ui/review_main.cpp ui/review_keys_test.cpp ui/review_mouse_test.cpp
             ui/review_parts_test.cpp ui/review_shots_test.cpp
             ui/review_recommend_test.cpp ui/review_zoom_test.cpp)
target_include_directories(review_widgets_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(review_widgets_test PRIVATE mendral_ui Qt6::Test)
