# Movie sources: the cache search and the file association.
plovex_add_test(cache_search_test SOURCES cache_search_test.cpp LIBS plovex_sources_core)
plovex_add_test(association_test SOURCES association_test.cpp LIBS plovex_platform)
