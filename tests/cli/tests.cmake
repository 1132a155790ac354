mendral_test(cli_test cli/cli_test.cpp)
target_compile_definitions(cli_test PRIVATE MENDRAL_CLI="$<TARGET_FILE:mendral-cli>")
add_dependencies(cli_test mendral-cli)
