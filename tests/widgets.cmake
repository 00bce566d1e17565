# Widgets: the popup menu with the gradient side bar.
if(PLOVEX_GUI)
  plovex_add_test(widgets_test
    SOURCES widgets/bar_popup_menu_test.cpp
    LIBS plovex_widgets
    GUI)
endif()
