# plovex-cli against hostile movies and files, run as a user runs it.
if(TARGET plovex-cli AND TARGET plovex_swf)
  plovex_add_test(cli_hostile_tests
    SOURCES cli/hostile_test.cpp swf/hostile_movies.h
    LIBS plovex_swf)
  target_compile_definitions(cli_hostile_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
  add_dependencies(cli_hostile_tests plovex-cli)
endif()
# plovex-cli bench prints its playback figures.
if(TARGET plovex-cli AND TARGET plovex_swf)
  plovex_add_test(cli_bench_tests
    SOURCES cli/bench_test.cpp cli/run_cli.h
    LIBS plovex_swf)
  target_compile_definitions(cli_bench_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
  add_dependencies(cli_bench_tests plovex-cli)
endif()
