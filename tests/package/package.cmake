# The Debian package of this tree, unpacked and run with a fresh HOME (a minute or two).
add_test(NAME package_deb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check-deb.sh ${CMAKE_BINARY_DIR} ${CMAKE_CPACK_COMMAND})
set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS package)
