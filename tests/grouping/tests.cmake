mendral_test(grouping_test
  grouping/printmath_test.cpp
  grouping/blockscan_test.cpp
  grouping/calibrate_test.cpp
  grouping/gate_test.cpp
  grouping/run_test.cpp
  grouping/split_test.cpp
  grouping/score_test.cpp)
# The reference sums in the tests must round like the code under test: no fused multiply-add.
target_compile_options(grouping_test PRIVATE -ffp-contract=off)
