# Coverage-guided fuzzing: every library is built with libFuzzer's coverage hooks and the
# address and undefined-behaviour checks, so a fault anywhere under a harness stops it.
# Needs clang; the programs themselves come from fuzz/.
if(RUNTIME_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "RUNTIME_BUILD_FUZZERS needs clang (configure with CXX=clang++ CC=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
