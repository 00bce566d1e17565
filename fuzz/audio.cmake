# Sound: decoding every stored format and mixing a movie's track.
if(TARGET plovex_audio)
  plovex_add_fuzzer(fuzz_audio_decode SOURCES audio_decode_fuzz.cpp LIBS plovex_audio)
endif()
