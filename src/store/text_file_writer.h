#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Writes a data file in text mode (each LF goes to disk as CR LF) and replaces the old file only
// when everything has been written: the bytes go to a temporary file beside the target, which is
// synced and then renamed over it. Until Commit() succeeds the old file stays untouched, so a
// crash or a full disk never leaves a half-written data file. Without Commit() the temporary file
// is removed again. A data file that is a symbolic link is replaced at the link's target. Only a
// missing path or a regular file is written: a FIFO, a device or a folder is never replaced.
class TextFileWriter {
public:
    // What a committed file survives: a power cut (its bytes and its folder entry are synced to the
    // disk before Commit returns), or only the end of the process (no sync: much faster, for files
    // whose purpose is to outlive a kill of the program, and that may be lost in a power cut).
    enum class Durability { PowerCut, ProcessEnd };

    explicit TextFileWriter(std::filesystem::path path, Durability durability = Durability::PowerCut);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // False when the temporary file could not be created (the folder is missing or read-only) or
    // the path holds something other than a regular file.
    bool IsOpen() const { return m_fd >= 0; }
    // Why the file cannot be written when the path is not a regular file; else empty.
    const std::string& Error() const { return m_error; }

    void Write(std::string_view text);
    void Put(char c) { Write(std::string_view(&c, 1)); }

    // Flushes, syncs (unless the durability is ProcessEnd) and renames; false when anything failed
    // (the old file is then unchanged).
    bool Commit();

private:
    void CreateTemporary();
    void Flush();
    void Discard();

    std::filesystem::path m_path;
    Durability m_durability;
    std::filesystem::path m_temp;
    int m_fd = -1;
    bool m_failed = false;
    std::string m_buffer;
    std::string m_error;
};
