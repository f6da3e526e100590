// The map editor's export format (packaging/tiled/brisel42_x9.js), built into the
// program so --install-editor-extension needs no file of the installation.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace app {

constexpr const char* EDITOR_EXTENSION_NAME = "brisel42_x9.js";

// The extension's source text.
std::string_view editor_extension_source();
// The editor's extensions folder: $XDG_CONFIG_HOME/tiled/extensions, else ~/.config/tiled/extensions.
std::string editor_extensions_folder();
// Writes the extension into that folder (creating it), replacing an earlier copy
// atomically; says where, or why not.
bool install_editor_extension(std::ostream& out, std::ostream& err);

}  // namespace app
