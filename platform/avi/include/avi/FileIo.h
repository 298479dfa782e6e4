#pragma once
// The file access the AVI writer, parser and repair work through: positioned reads and writes
// with 64-bit offsets, so the same code runs on a Win32 handle in the program and on a stdio
// file or a memory buffer in tools and tests.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace avi {

class FileIo {
public:
    virtual ~FileIo() = default;
    // Reads up to size bytes at pos; *pRead gets the count (short at the end of the file).
    virtual bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) = 0;
    virtual bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) = 0;
    virtual bool GetSize(std::uint64_t* pSize) = 0;
    virtual bool Truncate(std::uint64_t size) = 0;
    // Hands buffered data to the system; with toDisk also asks it to reach the medium.
    virtual bool Flush(bool toDisk) = 0;

    // Reads exactly size bytes, or fails.
    bool ReadExact(std::uint64_t pos, void* buffer, std::size_t size);
};

// A file of the C library, opened for reading or for reading and writing.
class StdioFile final : public FileIo {
public:
    enum class Mode { Read, ReadWrite, Create };
    StdioFile() = default;
    ~StdioFile() override;
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    bool Open(const std::string& path, Mode mode);
    bool Close();
    bool IsOpen() const { return m_pFile != nullptr; }

    bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) override;
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override;
    bool GetSize(std::uint64_t* pSize) override;
    bool Truncate(std::uint64_t size) override;
    bool Flush(bool toDisk) override;

private:
    bool SeekTo(std::uint64_t pos);

    std::FILE* m_pFile = nullptr;
    std::uint64_t m_nPosition = 0; // where the stream stands, to skip needless seeks
    bool m_bPositionKnown = false;
};

// A file held in memory: for tests, fuzzing and building files before they are saved.
class MemoryFile final : public FileIo {
public:
    MemoryFile() = default;
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : m_vecBytes(std::move(bytes)) {}

    bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) override;
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override;
    bool GetSize(std::uint64_t* pSize) override;
    bool Truncate(std::uint64_t size) override;
    bool Flush(bool toDisk) override;

    const std::vector<std::uint8_t>& Bytes() const { return m_vecBytes; }
    std::vector<std::uint8_t>& Bytes() { return m_vecBytes; }

private:
    std::vector<std::uint8_t> m_vecBytes;
};

} // namespace avi
