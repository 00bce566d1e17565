# The extraction commands of the main window and the EXE-to-SWF dialog.
if(PLOVEX_GUI AND TARGET plovex_extract_gui AND TARGET plovex_app)
  plovex_add_test(extractgui_tests GUI
    SOURCES
      extractgui/extract_fixture.h
      extractgui/exe_to_form_test.cpp
      extractgui/file_commands_test.cpp
    LIBS plovex_app plovex_extract_gui plovex_swf ZLIB::ZLIB LibLZMA::LibLZMA)
endif()
