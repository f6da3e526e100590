# brisel42_program(NAME SOURCES files... FILES files...): a game program in its own build
# folder, linked with the runtime, with the files it loads by bare name beside it (start-up
# makes the program's folder current) and the default font from brisel42_runtime_DATA_DIR.
# Comes with the runtime's CMake package; the examples use it in the tree too.
function(brisel42_program name)
  cmake_parse_arguments(P "" "" "SOURCES;FILES" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE brisel42_runtime::runtime)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  foreach(file IN LISTS P_FILES ITEMS ${brisel42_runtime_DATA_DIR}/smalfont.bmp)
    get_filename_component(file_name ${file} NAME)
    configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/${file_name} COPYONLY)
  endforeach()
endfunction()
