target_sources(mendral PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main.cpp)

# cmake --install: the program, its desktop entry and icon, and the symbol drawings that
# scripts/setup fetched (so the installed program finds them beside itself).
include(GNUInstallDirs)
install(TARGETS mendral RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mendral.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/mendral.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(DEFINED ENV{MENDRAL_ICONS})
  set(mendral_icon_source "$ENV{MENDRAL_ICONS}")
elseif(DEFINED ENV{XDG_DATA_HOME})
  set(mendral_icon_source "$ENV{XDG_DATA_HOME}/Mendral/icons")
else()
  set(mendral_icon_source "$ENV{HOME}/.local/share/Mendral/icons")
endif()
if(EXISTS "${mendral_icon_source}/chevron-left.svg")
  install(DIRECTORY "${mendral_icon_source}/" DESTINATION ${CMAKE_INSTALL_DATADIR}/mendral/icons
          FILES_MATCHING PATTERN "*.svg" PATTERN "LICENSE")
else()
  message(STATUS "mendral: no symbol icons in ${mendral_icon_source}; run scripts/setup to install them with the program")
endif()
