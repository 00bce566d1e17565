# The script machine: values and conversions, scripted movies run headless.
plovex_add_test(avm1_value_test SOURCES avm1/value_test.cpp LIBS plovex_avm1)
plovex_add_test(avm1_script_test SOURCES avm1/script_test.cpp avm1/script_run.h LIBS plovex_avm1)
plovex_add_test(avm1_geom_xml_test SOURCES avm1/geom_xml_test.cpp LIBS plovex_avm1)
plovex_add_test(avm1_focus_test SOURCES avm1/focus_test.cpp LIBS plovex_avm1)
if(TARGET plovex_audio)
  plovex_add_test(avm1_sound_test SOURCES avm1/sound_test.cpp LIBS plovex_avm1 plovex_audio)
endif()
plovex_add_test(avm1_text_field_test SOURCES avm1/text_field_test.cpp avm1/script_run.h LIBS plovex_avm1)
