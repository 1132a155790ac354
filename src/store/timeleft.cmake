target_sources(mendral_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/timeleft.cpp)
