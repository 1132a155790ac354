# Rendition speed against libvips' vipsthumbnail, and the image cache's three layers.
add_executable(bench_renditions
  ${CMAKE_CURRENT_LIST_DIR}/bench_renditions.cpp
  ${PROJECT_SOURCE_DIR}/tests/analysis/renditions_files.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/testfiles.cpp)
target_include_directories(bench_renditions PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_renditions PRIVATE mendral_core PkgConfig::EXIV2 PkgConfig::LIBHEIF)
