# Frame capture: the JPEG, GIF and BMP encoders and the extension table.
if(TARGET plovex_capture)
  plovex_add_test(capture_image_files_tests
    SOURCES capture/image_files_test.cpp
    LIBS plovex_capture JPEG::JPEG GIF::GIF)
endif()
if(TARGET plovex_capture AND TARGET plovex_swf AND TARGET plovex-cli)
  plovex_add_test(capture_cli_tests
    SOURCES capture/cli_test.cpp
    LIBS plovex_capture plovex_swf)
  target_compile_definitions(capture_cli_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
  add_dependencies(capture_cli_tests plovex-cli)
endif()
