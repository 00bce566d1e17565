# Sound: decoding, mixing and the headless render of a movie's sound track.
if(TARGET plovex_audio)
  plovex_add_test(audio_decode_test SOURCES audio/decode_test.cpp audio/sound_fixtures.h LIBS plovex_audio)
endif()
if(TARGET plovex_audio)
  plovex_add_test(audio_render_test SOURCES audio/render_test.cpp audio/sound_fixtures.h LIBS plovex_audio)
endif()
