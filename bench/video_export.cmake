# Video export: a movie written as MP4 at 1920 x 1080 and at its stage size,
# as a multiple of real time, with the peak memory.
if(TARGET plovex_video_export AND TARGET plovex_avm1)
  add_executable(bench_video_export ${CMAKE_CURRENT_LIST_DIR}/video_export_bench.cpp)
  target_link_libraries(bench_video_export PRIVATE plovex_video_export plovex_avm1)
endif()
