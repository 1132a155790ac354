target_sources(mendral_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/theme.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/widgets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statchip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headerbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settingspanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statusbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workingview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/emptystate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rootview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windowdialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mendralapp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qttranslations.cpp
)
