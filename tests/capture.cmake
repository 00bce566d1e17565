# Frame capture: the JPEG, GIF and BMP encoders and the extension table.
if(TARGET plovex_capture)
  plovex_add_test(capture_image_files_tests
    SOURCES capture/image_files_test.cpp
    LIBS plovex_capture JPEG::JPEG GIF::GIF)
endif()
