#pragma once

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

}  // namespace platform
