# Movie sources in the main window: the settings file, the folder tree, the
# address bar, dropped files, the playlist, the cache list and the .swf
# association, driven through the real main window.
if(PLOVEX_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  plovex_add_test(sources_gui_test GUI
    SOURCES sources/settings_gui_test.cpp sources/tree_address_gui_test.cpp
            sources/playlist_gui_test.cpp sources/cache_list_gui_test.cpp
            sources/association_gui_test.cpp
    LIBS plovex_app Qt6::Test)
endif()
