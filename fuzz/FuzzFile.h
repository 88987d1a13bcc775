#pragma once

// The readers that take a path get the input through a file of this process's own.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace qm::fuzz {

inline std::filesystem::path WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path dir = [] {
        const auto folder = std::filesystem::temp_directory_path() / ("qm-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return folder;
    }();
    const std::filesystem::path file = dir / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file;
}

} // namespace qm::fuzz
