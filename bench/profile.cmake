# The settings file: saving and restoring a long playlist the way the main
# window does, one key per operation.
add_executable(bench_profile ${CMAKE_CURRENT_LIST_DIR}/profile_bench.cpp)
target_link_libraries(bench_profile PRIVATE plovex_platform)
