# Playback commands, fixed rates and reverse play, the progress window,
# full screen and transparency, driven through the real main window.
if(PLOVEX_GUI)
  plovex_add_test(playback_commands_test GUI
    SOURCES playback/playback_test.cpp playback/playback_fixture.h
    LIBS plovex_app)
  plovex_add_test(playback_scripted_input_test GUI
    SOURCES playback/scripted_input_test.cpp playback/playback_fixture.h
    LIBS plovex_app plovex_avm1)
  plovex_add_test(playback_windows_test GUI
    SOURCES playback/windows_test.cpp playback/playback_fixture.h
    LIBS plovex_app)
endif()
