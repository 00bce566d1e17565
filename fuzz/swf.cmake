# The engine: load, play and draw arbitrary bytes.
plovex_add_fuzzer(fuzz_swf_load SOURCES swf_load_fuzzer.cpp LIBS plovex_swf)
