// The installed data folder: files a program ships (the default font, pictures) under
// share/ of its installation. Name lookups fall back to it after the loose file and the
// packed-file archive, so a program in <prefix>/bin finds <prefix>/share/brisel42_x9/.
#pragma once

#include <string>

namespace runtime {

constexpr char DATA_FOLDER_NAME[] = "brisel42_x9";

struct DataFolderState {
    std::string folder;  // empty: no data folder
};
DataFolderState& data_folder_state();

// The data folder of an installation whose programs live in program_folder:
// <program_folder>/../share/brisel42_x9, normalised; empty for an empty program folder.
std::string installed_data_folder(const std::string& program_folder);
// 1 with the path of `name` inside the data folder in out (ARCHIVE_PATH_SIZE bytes)
// when a readable file is there; else 0 with out empty. Absolute names, names with a
// "..", and paths of ARCHIVE_PATH_SIZE bytes or more are never looked up.
int resolve_data_file(const char* name, char* out);

}  // namespace runtime
