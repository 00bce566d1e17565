# The script machine: values and conversions, scripted movies run headless.
plovex_add_test(avm1_value_test SOURCES avm1/value_test.cpp LIBS plovex_avm1)
plovex_add_test(avm1_script_test SOURCES avm1/script_test.cpp avm1/script_run.h LIBS plovex_avm1)
plovex_add_test(avm1_geom_xml_test SOURCES avm1/geom_xml_test.cpp LIBS plovex_avm1)
plovex_add_test(avm1_text_field_test SOURCES avm1/text_field_test.cpp avm1/script_run.h LIBS plovex_avm1)
