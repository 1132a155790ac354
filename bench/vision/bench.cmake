add_executable(bench_neural ${CMAKE_CURRENT_LIST_DIR}/bench_neural.cpp)
target_link_libraries(bench_neural PRIVATE mendral_core)
# Face prints against focus blur: the group test photos, and a benchmark card.
add_executable(bench_faceblur ${CMAKE_CURRENT_LIST_DIR}/bench_faceblur.cpp)
target_link_libraries(bench_faceblur PRIVATE mendral_core dlib::dlib)
add_executable(bench_facecard ${CMAKE_CURRENT_LIST_DIR}/bench_facecard.cpp)
target_link_libraries(bench_facecard PRIVATE mendral_core)
# The eye check's landmark fits run together against one at a time.
add_executable(bench_landmarks ${CMAKE_CURRENT_LIST_DIR}/bench_landmarks.cpp)
target_include_directories(bench_landmarks PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench_landmarks PRIVATE mendral_core dlib::dlib)
# dlib's predictor built as the analysis builds its own fits.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/bench_landmarks.cpp PROPERTIES COMPILE_OPTIONS -O3)
