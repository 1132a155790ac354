target_sources(mendral PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main.cpp)

# cmake --install: the program, its desktop entry and its icon (the data it reads is installed
# by packaging/).
include(GNUInstallDirs)
install(TARGETS mendral RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mendral.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mendral.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
