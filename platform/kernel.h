#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small services of the operating system that the program uses by name.
namespace platform {

// Creates a new, empty file with a unique name in `folder`: the prefix, a hexadecimal number, a
// dot and the extension ("Kes1A2F.wav"). The file is created exclusively, so an existing file is
// never reused or replaced and no other caller gets the same name. The name is at most `maxPath`
// bytes; false when the folder cannot take a new file.
bool CreateUniqueFile(const std::string& folder, std::string_view prefix, std::string_view extension,
                      std::string& out, std::size_t maxPath = 259);


// Creates one folder; its parent must exist. False when it cannot be created or exists already.
bool CreateOneDirectory(const std::string& path);

// The full path of the running program, empty when it cannot be found.
std::string OwnExecutablePath();

// Asks for large pages behind a large block of memory about to be filled, so that filling it
// takes one page fault per 2 MiB instead of one per 4 KiB. Only the whole large pages inside the
// block are asked for; where the system has none, nothing changes.
void AdviseLargePages(void* data, std::size_t bytes);

}  // namespace platform
