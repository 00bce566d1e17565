# Playback commands, fixed rates and reverse play, the progress window,
# full screen and transparency, driven through the real main window.
if(PLOVEX_GUI)
  plovex_add_test(playback_commands_test GUI
    SOURCES playback/playback_test.cpp playback/playback_fixture.h
    LIBS plovex_app)
  plovex_add_test(playback_windows_test GUI
    SOURCES playback/windows_test.cpp playback/playback_fixture.h
    LIBS plovex_app)
endif()
