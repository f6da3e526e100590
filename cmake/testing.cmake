# runtime_add_test(NAME <name> SOURCES <files...> LIBS <targets...> LABELS <labels...> [TIMEOUT s])
# One GoogleTest executable per module; every test runs headless (offscreen video,
# dummy audio) with its own temporary folder so tests never touch the user's files.
find_package(GTest REQUIRED)
include(GoogleTest)

function(runtime_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(RUNTIME_SANITIZE)
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/sanitizer/keep_libraries_loaded.cpp)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gtest_main GTest::gmock project_warnings)
  set(env "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy;RUNTIME_TEST_DATA=${CMAKE_SOURCE_DIR}/tests;RUNTIME_BIN_DIR=${RUNTIME_OUTPUT_DIR}")
  if(RUNTIME_SANITIZE)
    list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/sanitizer/gl_driver.supp")
  endif()
  # Test discovery keeps only the first ENVIRONMENT entry: every run goes through `cmake -E env`.
  set_property(TARGET ${T_NAME} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${env})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
