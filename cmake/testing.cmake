# runtime_add_test(NAME <name> SOURCES <files...> LIBS <targets...> LABELS <labels...> [TIMEOUT s])
# One GoogleTest executable per module; every test runs headless (offscreen video,
# dummy audio) with a temporary folder of this build's own, so that what the runtime keeps
# there (its error log above all) is never the user's. Tests make their folders inside it.
find_package(GTest REQUIRED)
include(GoogleTest)

# A short path beside the usual temporary folder (tests bind sockets inside it); the
# fixture makes it before any test that needs it runs, whatever cleaned it meanwhile.
if(NOT "$ENV{TMPDIR}" STREQUAL "")
  set(test_tmp_base "$ENV{TMPDIR}")
else()
  set(test_tmp_base /tmp)
endif()
string(MD5 test_tmp_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${test_tmp_hash}" 0 8 test_tmp_hash)
set(RUNTIME_TEST_TMPDIR "${test_tmp_base}/brisel42-tests-${test_tmp_hash}")
add_test(NAME test_temporary_folder COMMAND ${CMAKE_COMMAND} -E make_directory ${RUNTIME_TEST_TMPDIR})
set_tests_properties(test_temporary_folder PROPERTIES FIXTURES_SETUP test_temporary_folder LABELS unit)

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
  # Test programs are not what ships: unoptimised, with GoogleTest parsed once per program,
  # they build in about half the time; the code under test keeps its own flags.
  target_compile_options(${T_NAME} PRIVATE -O0)
  target_precompile_headers(${T_NAME} PRIVATE <gtest/gtest.h>)
  if(RUNTIME_SANITIZE)
    # The undefined-behaviour checks stay on the libraries under test; on the tests' own code
    # (mostly expanded assertion macros) they cost a third of the build. An inline function
    # of a library header that a test calls itself links as the test's unchecked copy.
    target_compile_options(${T_NAME} PRIVATE -fno-sanitize=undefined)
  endif()
  set(env "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy;RUNTIME_TEST_DATA=${CMAKE_SOURCE_DIR}/tests;RUNTIME_BIN_DIR=${RUNTIME_OUTPUT_DIR};TMPDIR=${RUNTIME_TEST_TMPDIR}")
  if(RUNTIME_SANITIZE)
    list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/sanitizer/gl_driver.supp")
  endif()
  if(RUNTIME_SANITIZE_THREAD)
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${PROJECT_SOURCE_DIR}/tests/support/sanitizer/thread.supp")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST ${T_NAME}_TESTS
    PROPERTIES FIXTURES_REQUIRED test_temporary_folder TIMEOUT ${T_TIMEOUT})
  # Discovery flattens list-valued properties (it kept only the first entry), so the
  # environment and labels go on the discovered tests from a file CTest reads after them.
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cmake)
  file(WRITE ${env_file} "if(${T_NAME}_TESTS)
  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES ENVIRONMENT \"${env}\" LABELS \"${T_LABELS}\")
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()

# runtime_module_tests(<module> LIBS <targets...> LABELS <labels...> [SOURCES <extra files...>])
# The usual test folder: every *_test.cpp in it becomes the executable <module>_tests.
function(runtime_module_tests module)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  runtime_add_test(NAME ${module}_tests SOURCES ${srcs} ${T_SOURCES} LIBS ${T_LIBS} LABELS ${T_LABELS})
endfunction()
