# The capture commands of the main window: the frame as a picture file, the
# region frame, the timed capture window and the print preview.
if(PLOVEX_GUI AND TARGET plovex_capture_gui AND TARGET plovex_app)
  plovex_add_test(capturegui_tests GUI
    SOURCES
      capturegui/capture_fixture.h
      capturegui/frame_capture_test.cpp
      capturegui/region_capture_test.cpp
      capturegui/timed_capture_test.cpp
      capturegui/print_preview_test.cpp
    LIBS plovex_app plovex_capture_gui plovex_platform_gui Qt6::PrintSupport)
endif()
