#pragma once

#include <filesystem>

// Writes a contact list of 65,535 contacts and a call log of 65,535 entries into `folder`: the
// stores as full as they can be, with varied names and numbers (a fixed seed, so every run reads
// the same files).
void WriteFullStores(const std::filesystem::path& folder);
