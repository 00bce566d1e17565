# Frame capture: encoding a full-HD frame as JPEG, GIF and BMP, with
# Debian's cjpeg on the same pixels for comparison.
if(TARGET plovex_capture)
  add_executable(bench_capture ${CMAKE_CURRENT_LIST_DIR}/capture_bench.cpp)
  target_link_libraries(bench_capture PRIVATE plovex_capture Qt6::Gui)
endif()
