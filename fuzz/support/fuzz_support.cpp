// Scratch folder and checks for the harnesses.
#include "support/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzz {

namespace {

void remove_scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_folder(), ignored);
}

std::string make_scratch() {
    // Memory-backed when the system has it: on a busy machine an open() on disk can stall
    // past the one-second limit of an input.
    const char* base = std::getenv("TMPDIR");
    std::string folder = base != nullptr && base[0] != 0 ? base : "/tmp";
    if (::access("/dev/shm", W_OK | X_OK) == 0) folder = "/dev/shm";
    std::string pattern = folder + "/fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz: cannot make a scratch folder");
        std::abort();
    }
    // The runtime's own temporary files land in a folder of their own.
    std::filesystem::create_directory(pattern + "/tmp");
    if (::setenv("TMPDIR", (pattern + "/tmp").c_str(), 1) != 0) {
        std::perror("fuzz: cannot set TMPDIR");
        std::abort();
    }
    return pattern;
}

}  // namespace

const std::string& scratch_folder() {
    // Never destroyed: the exit handler that removes the folder still needs its name.
    static const std::string* folder = [] {
        auto* made = new std::string(make_scratch());
        std::atexit(remove_scratch);
        return made;
    }();
    return *folder;
}

std::string scratch_file(const std::string& name, const void* data, size_t size) {
    const std::string path = scratch_folder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
    return path;
}

std::string scratch_file(const std::string& name, std::string_view bytes) {
    return scratch_file(name, bytes.data(), bytes.size());
}

std::string file_content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void require(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "fuzz: broken promise: %s\n", promise);
    std::abort();
}

uint32_t header_field(const uint8_t* data, size_t size, size_t at, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes && at + i < size; ++i) value |= static_cast<uint32_t>(data[at + i]) << (8 * i);
    return value;
}

}  // namespace fuzz
