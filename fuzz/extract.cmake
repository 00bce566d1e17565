# The extractors: the sound walk and the projector trailer.
if(TARGET plovex_extract)
  plovex_add_fuzzer(fuzz_extract_sounds SOURCES extract_sounds_fuzz.cpp fuzz_files.h LIBS plovex_extract)
  plovex_add_fuzzer(fuzz_extract_projector SOURCES extract_projector_fuzz.cpp fuzz_files.h LIBS plovex_extract)
endif()
