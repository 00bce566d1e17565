# Desktop integration: the wallpaper back ends and the movie page.
plovex_add_test(wallpaper_test SOURCES wallpaper_test.cpp LIBS plovex_platform)
plovex_add_test(wallpaper_page_test SOURCES wallpaper_page_test.cpp LIBS plovex_desktop_core)
