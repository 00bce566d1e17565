# The script machine: simple actions per second in a frame script's loop.
add_executable(avm1_bench ${CMAKE_CURRENT_LIST_DIR}/avm1_bench.cpp)
target_link_libraries(avm1_bench PRIVATE plovex_avm1)
