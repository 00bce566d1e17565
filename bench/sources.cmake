# The cache search: a generated tree of 100 000 files, against find(1) on
# the same tree.
if(TARGET plovex_sources_core)
  add_executable(bench_cache_search ${CMAKE_CURRENT_LIST_DIR}/cache_search_bench.cpp)
  target_link_libraries(bench_cache_search PRIVATE plovex_sources_core Qt6::Core)
endif()
