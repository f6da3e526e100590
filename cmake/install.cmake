# What `cmake --install` puts where, in two components:
#   converter   - the brisel42_x9 program, its data folder, gzipped manual page, desktop
#                 entry, icon, copyright file
#   development - the runtime's libraries (in the multiarch folder) and its user-facing
#                 headers under include/brisel42/, a CMake package, a pkg-config file, the
#                 tools a game's assets go through (obj2ddd, rtpack), the examples and the
#                 copyright file
# Debian keeps libraries in lib/<multiarch>, whatever the prefix; GNUInstallDirs does so only
# for /usr, so the plain default is replaced (another value given by the user stays).
if(CMAKE_LIBRARY_ARCHITECTURE AND (NOT DEFINED CMAKE_INSTALL_LIBDIR OR CMAKE_INSTALL_LIBDIR STREQUAL "lib"))
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib/<multiarch>)" FORCE)
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RUNTIME_DATA_DIR ${CMAKE_INSTALL_DATADIR}/brisel42_x9)
set(RUNTIME_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/brisel42_runtime)
# -I<prefix>/include/brisel42 keeps #include "runtime/runtime.h" apart from other libraries.
set(RUNTIME_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/brisel42)
set(CONVERTER_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/brisel42-x9)
set(DEVELOPMENT_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/brisel42-x9-dev)

# The converter and what it loads by bare name: the data folder is found from the program
# (bin/../share/brisel42_x9), after the folder beside the program.
# The converter is also an imported program of the CMake package (brisel42_runtime::brisel42_x9),
# for games that convert their maps at build time; the development package depends on it.
install(TARGETS brisel42_x9 EXPORT brisel42_runtime_targets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT converter)
install(FILES ${RUNTIME_ASSETS} DESTINATION ${RUNTIME_DATA_DIR} COMPONENT converter)
# The manual page carries the project's version and is installed gzipped, as Debian wants.
configure_file(${PROJECT_SOURCE_DIR}/docs/brisel42_x9.1 ${PROJECT_BINARY_DIR}/package/brisel42_x9.1 @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/package/brisel42_x9.1.gz
  COMMAND gzip -9 -n -f -k ${PROJECT_BINARY_DIR}/package/brisel42_x9.1
  DEPENDS ${PROJECT_BINARY_DIR}/package/brisel42_x9.1 VERBATIM)
add_custom_target(manual_page ALL DEPENDS ${PROJECT_BINARY_DIR}/package/brisel42_x9.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/package/brisel42_x9.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT converter)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CONVERTER_DOC_DIR} COMPONENT converter)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${DEVELOPMENT_DOC_DIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tiled/brisel42_x9.js DESTINATION ${RUNTIME_DATA_DIR}/tiled COMPONENT converter)
# The desktop tools make the first entry registered for a type its default when the user
# chose none, in the order of the entries' names; this name comes after the map editor's
# (org.mapeditor.Tiled), so installing the converter never takes .tmx maps from it.
set(DESKTOP_ENTRY_NAME tmx-converter.brisel42_x9.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/brisel42_x9.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${DESKTOP_ENTRY_NAME} COMPONENT converter)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/brisel42_x9-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME brisel42_x9.xml COMPONENT converter)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icon_48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME brisel42_x9.png COMPONENT converter)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME brisel42_x9.svg COMPONENT converter)

# The user-facing headers: runtime/runtime.h and every header it reaches through its
# includes, found again whenever one of them changes. The platform layer is internal: a
# public header that reaches it is a configuration error, not a header to install.
function(runtime_header_closure out)
  set(todo runtime/runtime.h)
  set(found)
  while(todo)
    list(POP_FRONT todo header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"runtime/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE ".*\"(runtime/[^\"]+)\".*" "\\1" included "${line}")
      list(APPEND todo ${included})
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

runtime_header_closure(runtime_headers)
foreach(header IN LISTS runtime_headers)
  if(header MATCHES "^runtime/platform/")
    message(FATAL_ERROR "${header} is reached from runtime/runtime.h: platform headers are not public")
  endif()
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${RUNTIME_INCLUDE_DIR}/${folder} COMPONENT development)
endforeach()
# The examples' run options, so that the shipped examples build alone.
install(FILES ${PROJECT_SOURCE_DIR}/examples/run_options.h DESTINATION ${RUNTIME_INCLUDE_DIR}/examples COMPONENT development)
# The examples themselves, each a project of its own, with the maps and models they show.
foreach(example game2d scene3d chat news maps models)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/${example} DESTINATION ${DEVELOPMENT_DOC_DIR}/examples COMPONENT development)
endforeach()

# The module libraries in link order (each before what it builds on), from the link
# edges of the `runtime` target down.
function(runtime_link_order out)
  set(order)
  function(visit target)
    if(target IN_LIST order)
      return()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(deps ${target} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(deps ${target} LINK_LIBRARIES)
    endif()
    foreach(dep IN LISTS deps)
      if(dep MATCHES "^runtime_" AND TARGET ${dep})
        visit(${dep})
      endif()
    endforeach()
    list(APPEND order ${target})
    set(order ${order} PARENT_SCOPE)
  endfunction()
  visit(runtime)
  list(REMOVE_ITEM order runtime)
  list(REVERSE order)
  set(${out} ${order} PARENT_SCOPE)
endfunction()

runtime_link_order(runtime_modules)
install(TARGETS runtime ${runtime_modules} EXPORT brisel42_runtime_targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${RUNTIME_INCLUDE_DIR})
# The tools come along as imported programs too (brisel42_runtime::obj2ddd for build steps).
install(TARGETS obj2ddd rtpack EXPORT brisel42_runtime_targets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development)
install(EXPORT brisel42_runtime_targets NAMESPACE brisel42_runtime:: FILE brisel42_runtime_targets.cmake
        DESTINATION ${RUNTIME_CMAKE_DIR} COMPONENT development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/brisel42_runtime_config.cmake.in
  ${PROJECT_BINARY_DIR}/package/brisel42_runtimeConfig.cmake
  INSTALL_DESTINATION ${RUNTIME_CMAKE_DIR} PATH_VARS RUNTIME_DATA_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/brisel42_runtimeConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/brisel42_runtimeConfig.cmake
              ${PROJECT_BINARY_DIR}/package/brisel42_runtimeConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/brisel42_program.cmake
        DESTINATION ${RUNTIME_CMAKE_DIR} COMPONENT development)

# pkg-config: the same libraries in the same order, under the prefix the install really
# uses (`--prefix`, or /usr in the packages), written out when installing: plain absolute
# paths, no "..".
set(RUNTIME_PC_LIBS "")
foreach(module IN LISTS runtime_modules)
  get_target_property(name ${module} OUTPUT_NAME)
  string(APPEND RUNTIME_PC_LIBS " -l${name}")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/brisel42_runtime.pc.in ${PROJECT_BINARY_DIR}/package/brisel42_runtime.pc.in @ONLY)
install(CODE "
  file(READ \"${PROJECT_BINARY_DIR}/package/brisel42_runtime.pc.in\" pc)
  string(REPLACE \"%INSTALL_PREFIX%\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
  file(WRITE \"${PROJECT_BINARY_DIR}/package/pc/brisel42_runtime.pc\" \"\${pc}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE
       FILES \"${PROJECT_BINARY_DIR}/package/pc/brisel42_runtime.pc\")" COMPONENT development)
