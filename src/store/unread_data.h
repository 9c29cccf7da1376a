#pragma once

#include <filesystem>

class TextFileReader;

// A loader stops at the first record it cannot read, and the next save rewrites the file from what
// was loaded. So that a damaged or hand-edited file never loses the records after the fault, the
// loader calls this where it stopped: when a record was cut off or anything but blanks and line
// ends is left unread, the file is copied beside itself as "<name>.unread-YYYYMMDD-HHMMSS" (an
// existing copy of that name is kept). Returns true when a copy was made.
bool PreserveUnreadData(const std::filesystem::path& file, TextFileReader& reader, bool recordCut);
