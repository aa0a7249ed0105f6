# FENWIX_WITH_FUZZ: every target is built with the fuzzer's coverage and the address and
# undefined-behaviour sanitizers (any undefined behaviour stops the run), and tests/fuzz adds one
# libFuzzer program per parser of outside input. Only clang has libFuzzer.
option(FENWIX_WITH_FUZZ "Build the libFuzzer targets of tests/fuzz (clang only)" OFF)
if(FENWIX_WITH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "FENWIX_WITH_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
