#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Reads a data file in text mode: a CR LF pair on disk reads as one LF, a lone CR is kept.
// Bytes come through a buffer, so reading byte by byte costs no system call per byte.
// A read error ends the data like the end of the file does.
class TextFileReader {
public:
    static constexpr int kEnd = -1;

    // Opens `path` for reading; IsOpen() tells whether that worked. Only a regular file is read:
    // anything else at the path is left alone without waiting on it, and noted (SkippedFiles).
    explicit TextFileReader(const std::filesystem::path& path);
    // Every path this process did not read because it is not a regular file, each time it was met.
    static std::vector<std::filesystem::path> SkippedFiles();
    // Reads from bytes in memory with the same translation (tests and tools).
    static TextFileReader FromBytes(std::string bytes);
    ~TextFileReader();
    TextFileReader(TextFileReader&& other) noexcept;
    TextFileReader& operator=(TextFileReader&&) = delete;
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    bool IsOpen() const { return m_open; }

    // The next byte (0..255) after line-end translation, or kEnd.
    int Get()
    {
        if (m_pos == m_end && !Refill())
            return kEnd;
        unsigned char c = static_cast<unsigned char>(m_buffer[m_pos++]);
        if (c != '\r')
            return c;
        if (m_pos == m_end && !Refill())
            return '\r';
        if (m_buffer[m_pos] != '\n')
            return '\r';
        ++m_pos;
        return '\n';
    }

    // The bytes already buffered after the current position, as they are on disk (no translation):
    // a caller may take a run of them with Skip() as long as the run holds no CR. Empty when the
    // buffer is used up; Get() then reads on.
    std::string_view Buffered() const { return std::string_view(m_buffer.data() + m_pos, m_end - m_pos); }
    void Skip(std::size_t count) { m_pos += count; }

    // Consumes the rest of the data; true when it holds nothing but blanks, tabs and line ends.
    bool RestIsBlank();

private:
    TextFileReader() = default;
    bool Refill();

    int m_fd = -1;
    bool m_open = false;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};
