# The settings-file accessor, its code page 936 conversion and the safe
# file replacement beneath it.
plovex_add_test(profile_test
  SOURCES platform/profile_test.cpp
  LIBS plovex_platform)
