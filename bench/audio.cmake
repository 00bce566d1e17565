# Sound: the CPU share of decoding and mixing an MP3 stream, and the
# output's latency on the desktop's sound device.
if(TARGET plovex_audio_output)
  add_executable(audio_bench ${CMAKE_CURRENT_LIST_DIR}/audio_bench.cpp)
  target_link_libraries(audio_bench PRIVATE plovex_audio_output)
endif()
