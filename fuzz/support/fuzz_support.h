// What every harness shares: a private scratch folder for parsers that only read files,
// and the check that turns a broken promise into a crash libFuzzer keeps as an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A folder of this process alone (in /dev/shm where there is one), made at the first
// call and removed at exit; TMPDIR points into it, so the runtime's temporary files
// stay there too.
const std::string& scratch_folder();
// Writes the bytes to that name inside the scratch folder (replacing it); its full path.
std::string scratch_file(const std::string& name, const void* data, size_t size);
std::string scratch_file(const std::string& name, std::string_view bytes);
// A whole file's bytes; empty when it cannot be read.
std::string file_content(const std::string& path);
// Ends the run with a report when a promise of the code under test is broken.
void require(bool holds, const char* promise);

// Little-endian field of a harness's header bytes (missing bytes read as zero).
uint32_t header_field(const uint8_t* data, size_t size, size_t at, size_t bytes);

}  // namespace fuzz
