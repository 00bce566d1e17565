# Extraction: projector movies and movie sounds, and their plovex-cli commands.
if(TARGET plovex_extract)
  plovex_add_test(extract_projector_tests
    SOURCES extract/projector_test.cpp extract/temp_files.h
    LIBS plovex_extract)
  if(TARGET plovex-cli)
    plovex_add_test(extract_cli_tests
      SOURCES extract/cli_test.cpp extract/temp_files.h
      LIBS Qt6::Core)
    target_compile_definitions(extract_cli_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
    add_dependencies(extract_cli_tests plovex-cli)
  endif()
endif()
