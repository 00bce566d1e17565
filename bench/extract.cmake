# Extraction: the sounds of a generated 200 MB movie, against reading the
# same file with cat.
if(TARGET plovex_extract)
  add_executable(extract_sounds_bench ${CMAKE_CURRENT_LIST_DIR}/extract_sounds_bench.cpp)
  target_link_libraries(extract_sounds_bench PRIVATE plovex_extract ZLIB::ZLIB Qt6::Core)
endif()
