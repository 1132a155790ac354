# One file per command; commands.h declares them and main.cpp dispatches.
target_sources(mendral-cli PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/analyzecommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cullcommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scancommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thumbnailcommand.cpp)

include(GNUInstallDirs)
install(TARGETS mendral-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
