# The SWF engine: format reader and writer, player, renderer.
plovex_add_test(swf_format_test SOURCES swf/format_test.cpp LIBS plovex_swf)
plovex_add_test(swf_player_test SOURCES swf/player_test.cpp LIBS plovex_swf)
plovex_add_test(swf_render_test SOURCES swf/render_test.cpp LIBS plovex_swf)
plovex_add_test(swf_raster_test SOURCES swf/raster_test.cpp LIBS plovex_swf)
plovex_add_test(swf_filters_test SOURCES swf/filters_test.cpp LIBS plovex_swf)
plovex_add_test(swf_render_cases_test SOURCES swf/render_cases_test.cpp LIBS plovex_swf)
plovex_add_test(swf_limits_test SOURCES swf/limits_test.cpp LIBS plovex_swf)
plovex_add_test(swf_video_test SOURCES swf/video_test.cpp LIBS plovex_swf PkgConfig::FFMPEG)
