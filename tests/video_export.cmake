# Video export: the encoder and the movie export, plovex-cli export-video,
# and the dialog of the main window.
if(TARGET plovex_video_export)
  plovex_add_test(video_export_tests
    SOURCES video_export/video_export_test.cpp video_export/video_fixtures.h
    LIBS plovex_video_export PkgConfig::FFMPEG)
endif()
if(TARGET plovex_video_export AND TARGET plovex-cli)
  plovex_add_test(video_export_cli_tests
    SOURCES video_export/cli_test.cpp video_export/video_fixtures.h
    LIBS plovex_video_export PkgConfig::FFMPEG)
  target_compile_definitions(video_export_cli_tests PRIVATE PLOVEX_CLI_PATH="$<TARGET_FILE:plovex-cli>")
  add_dependencies(video_export_cli_tests plovex-cli)
endif()
if(PLOVEX_GUI AND TARGET plovex_video_export_gui AND TARGET plovex_app)
  plovex_add_test(video_export_gui_tests GUI
    SOURCES video_export/form_test.cpp video_export/video_fixtures.h
    LIBS plovex_app plovex_video_export_gui PkgConfig::FFMPEG)
endif()
