# Desktop integration: the wallpaper back ends, the movie page, the movie
# wallpaper's player, and the main window's wallpaper commands.
plovex_add_test(wallpaper_test SOURCES wallpaper_test.cpp LIBS plovex_platform)
plovex_add_test(wallpaper_page_test SOURCES wallpaper_page_test.cpp LIBS plovex_desktop_core)
plovex_add_test(movie_wallpaper_test SOURCES movie_wallpaper_test.cpp LIBS plovex_desktop_core)
if(PLOVEX_GUI AND TARGET plovex_desktop AND TARGET plovex_app)
  plovex_add_test(desktopgui_tests GUI
    SOURCES
      desktopgui/desktop_fixture.h
      desktopgui/frame_wallpaper_test.cpp
      desktopgui/movie_wallpaper_gui_test.cpp
      desktopgui/gnome_wallpaper_gui_test.cpp
      desktopgui/wallpaper_player_test.cpp
    LIBS plovex_app plovex_desktop plovex_platform_gui)
  target_compile_definitions(desktopgui_tests PRIVATE
    PLOVEX_WALLPAPER_PROGRAM="$<TARGET_FILE:plovex-wallpaper>")
  add_dependencies(desktopgui_tests plovex-wallpaper)
endif()
