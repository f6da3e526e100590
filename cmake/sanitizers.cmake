# One switch for AddressSanitizer + UndefinedBehaviorSanitizer over the whole tree, and one
# for ThreadSanitizer (CI builds only the net and sound tests with it: the session worker
# and the audio callback are the threads besides the main one).
option(RUNTIME_SANITIZE_THREAD "Build everything with ThreadSanitizer" OFF)
if(RUNTIME_SANITIZE AND RUNTIME_SANITIZE_THREAD)
  message(FATAL_ERROR "RUNTIME_SANITIZE and RUNTIME_SANITIZE_THREAD exclude each other")
endif()
if(RUNTIME_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(RUNTIME_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
