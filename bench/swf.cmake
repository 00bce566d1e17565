# The engine: parse time, frames rendered per second and peak memory for
# the movies given on the command line (the demo movie when none).
add_executable(swf_bench ${CMAKE_CURRENT_LIST_DIR}/swf_bench.cpp)
target_link_libraries(swf_bench PRIVATE plovex_swf)
target_compile_definitions(swf_bench PRIVATE PLOVEX_DEMO_PATH="${CMAKE_BINARY_DIR}/demo.swf")

# The bitmap filters alone, per kind and quality.
add_executable(filters_bench ${CMAKE_CURRENT_LIST_DIR}/filters_bench.cpp)
target_link_libraries(filters_bench PRIVATE plovex_swf)

# Writes the growing movies that `plovex-cli bench MOVIE --seek` measures.
add_executable(growing_movie ${CMAKE_CURRENT_LIST_DIR}/growing_movie.cpp)
target_link_libraries(growing_movie PRIVATE plovex_swf)
