#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names a new recording or note file: the system's temporary-file service picks a unique name with
// the prefix "Kes" in `folder` ("<folder>/Kes1A2F.tmp"), whose last three characters are then
// replaced by `extension` ("wav", "txt"). The file exists, empty, when this returns true. A name
// whose file exists already (left by an earlier run) is passed over, never overwritten. False when
// the folder takes no new file or the name would be longer than `maxPath` bytes.
bool NameRecordingFile(
    const std::string& folder, std::string_view extension, std::size_t maxPath, std::string& out);
