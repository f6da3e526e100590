# Built alone, an example finds the installed runtime; with the project, the project's
# targets carry the same names.
if(NOT TARGET brisel42_runtime::runtime)
  find_package(brisel42_runtime 0.1 CONFIG REQUIRED)
  set(EXAMPLE_DATA_DIR ${brisel42_runtime_DATA_DIR})
endif()

# example_program(NAME SOURCES files... FILES files...): an example program in its own
# build folder with the files it loads by bare name beside it (the runtime makes the
# program's folder current), the default font from EXAMPLE_DATA_DIR included.
function(example_program name)
  cmake_parse_arguments(E "" "" "SOURCES;FILES" ${ARGN})
  add_executable(${name} ${E_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(${name} PRIVATE brisel42_runtime::runtime)
  if(TARGET project_warnings)
    target_link_libraries(${name} PRIVATE project_warnings)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  foreach(file IN LISTS E_FILES ITEMS ${EXAMPLE_DATA_DIR}/smalfont.bmp)
    get_filename_component(file_name ${file} NAME)
    configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/${file_name} COPYONLY)
  endforeach()
endfunction()
