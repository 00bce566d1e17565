# The GUI foundation: the widget seams, the player control, opening movies,
# the frame counter and the main window.
if(PLOVEX_GUI)
  plovex_add_test(app_platform_gui_test GUI
    SOURCES app/platform_gui_test.cpp
    LIBS plovex_platform_gui)
  plovex_add_test(app_player_test GUI
    SOURCES app/player_test.cpp
    LIBS plovex_player)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  plovex_add_test(app_main_form_test GUI
    SOURCES app/main_form_test.cpp
    LIBS plovex_app Qt6::Test)
  plovex_add_test(app_about_clip_test GUI
    SOURCES app/about_clip_test.cpp
    LIBS plovex_app PkgConfig::FFMPEG)
endif()
