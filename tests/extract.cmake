# Extraction: projector movies and movie sounds, and their plovex-cli commands.
if(TARGET plovex_extract)
  plovex_add_test(extract_projector_tests
    SOURCES extract/projector_test.cpp extract/temp_files.h
    LIBS plovex_extract)
  plovex_add_test(extract_sounds_tests
    SOURCES extract/sounds_test.cpp extract/swf_bytes.h extract/temp_files.h
    LIBS plovex_extract ZLIB::ZLIB LibLZMA::LibLZMA)
  if(TARGET plovex_swf)
    plovex_add_test(extract_sounds_writer_tests
      SOURCES extract/sounds_writer_test.cpp extract/swf_bytes.h extract/temp_files.h
      LIBS plovex_extract plovex_swf ZLIB::ZLIB LibLZMA::LibLZMA)
  endif()
  if(TARGET plovex-cli)
    plovex_add_test(extract_cli_tests
      SOURCES extract/cli_test.cpp extract/temp_files.h extract/swf_bytes.h
      LIBS Qt6::Core ZLIB::ZLIB LibLZMA::LibLZMA)
    target_compile_definitions(extract_cli_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
    add_dependencies(extract_cli_tests plovex-cli)
  endif()
endif()
