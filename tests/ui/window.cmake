find_package(Qt6 REQUIRED COMPONENTS Test)
mendral_test(ui_window_test ui/main.cpp ui/shell_test.cpp ui/header_test.cpp ui/overview_test.cpp
             ui/icons_test.cpp ui/app_test.cpp
             ui/dialogs_test.cpp ui/translations_test.cpp)
target_link_libraries(ui_window_test PRIVATE mendral_ui Qt6::Test)
