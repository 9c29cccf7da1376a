#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class FileRead { Read, Missing, Refused };

// Reads a whole file given by path, but only a regular file of at most `maxBytes`: a folder, a
// FIFO or a device (/dev/zero) is refused without waiting on it, and so is a larger file, before
// anything is read. Missing when nothing exists at the path; Refused (with the reason in `error`,
// for example "is not a regular file") when it cannot be read as it should.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& error);

} // namespace platform
