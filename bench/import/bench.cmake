# Import of a whole card through the store: cold, from the analysis cache, and the search for
# byte-identical photos next to jdupes. Without a folder argument it makes a small card, so the
# card maker must be built too.
add_executable(bench_import
  ${CMAKE_CURRENT_LIST_DIR}/bench_import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cardfolder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/importbench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/importrun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jdupesrun.cpp)
target_link_libraries(bench_import PRIVATE mendral_core)
target_compile_definitions(bench_import PRIVATE
  MENDRAL_CARD_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/../quality/card.sh")
if(TARGET make-card)
  add_dependencies(bench_import make-card)
  target_compile_definitions(bench_import PRIVATE MENDRAL_MAKE_CARD="$<TARGET_FILE:make-card>")
endif()
