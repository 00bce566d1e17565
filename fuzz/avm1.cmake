# The script machine: arbitrary action bytes in a small movie.
plovex_add_fuzzer(fuzz_avm1_actions SOURCES avm1_actions_fuzzer.cpp LIBS plovex_avm1)
