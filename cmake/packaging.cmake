# `cpack -G DEB` in the build folder: one package per install component. The
# converter's dependencies are computed from the libraries it links (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME brisel42-x9)
set(CPACK_PACKAGE_VENDOR "brisel42")
set(CPACK_PACKAGE_CONTACT "brisel42_x9 maintainers <maps@brisel42.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description: its first line is the summary.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL converter development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CONVERTER_PACKAGE_NAME brisel42-x9)
set(CPACK_DEBIAN_CONVERTER_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_CONVERTER_DESCRIPTION "Tiled map converter for games
Converts Tiled maps (.tmx) into a text file and a binary map of 16-bit words that a game
loads, from the command line or in a window with a file dialog and a report screen.")
# The open dialog is another program, started when it is there.
set(CPACK_DEBIAN_CONVERTER_PACKAGE_RECOMMENDS "zenity")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME brisel42-x9-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Game-programming runtime: libraries and headers
The game runtime as static libraries with headers, a CMake package (brisel42_runtime)
and a pkg-config file, the obj2ddd and rtpack tools, and example games that build alone
against it.")
# Static libraries: a game links the system libraries itself, through these -dev packages.
# The default font and the other shipped files come with the converter's package.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "brisel42-x9 (= ${PROJECT_VERSION}), libsdl2-dev, libsdl2-mixer-dev, libgl-dev, libenet-dev, libcurl4-openssl-dev, libpng-dev, liblzo2-dev, libavformat-dev, libavcodec-dev, libswscale-dev, libavutil-dev, pkg-config")

include(CPack)
