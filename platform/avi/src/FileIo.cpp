#include "avi/FileIo.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace avi {

namespace {

bool SeekFile(std::FILE* pFile, std::uint64_t pos)
{
    if (pos > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return false;
#ifdef _WIN32
    return _fseeki64(pFile, static_cast<__int64>(pos), SEEK_SET) == 0;
#else
    return fseeko(pFile, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

bool SeekFileEnd(std::FILE* pFile, std::uint64_t* pSize)
{
#ifdef _WIN32
    if (_fseeki64(pFile, 0, SEEK_END) != 0)
        return false;
    const __int64 end = _ftelli64(pFile);
#else
    if (fseeko(pFile, 0, SEEK_END) != 0)
        return false;
    const off_t end = ftello(pFile);
#endif
    if (end < 0)
        return false;
    *pSize = static_cast<std::uint64_t>(end);
    return true;
}

bool TruncateFile(std::FILE* pFile, std::uint64_t size)
{
#ifdef _WIN32
    return _chsize_s(_fileno(pFile), static_cast<__int64>(size)) == 0;
#else
    return ftruncate(fileno(pFile), static_cast<off_t>(size)) == 0;
#endif
}

bool CommitFile(std::FILE* pFile)
{
#ifdef _WIN32
    return _commit(_fileno(pFile)) == 0;
#else
    return fsync(fileno(pFile)) == 0;
#endif
}

} // namespace

bool FileIo::ReadExact(std::uint64_t pos, void* buffer, std::size_t size)
{
    std::size_t nRead = 0;
    return ReadAt(pos, buffer, size, &nRead) && nRead == size;
}

StdioFile::~StdioFile()
{
    Close();
}

bool StdioFile::Open(const std::string& path, Mode mode)
{
    Close();
    const char* szMode = mode == Mode::Read ? "rb" : mode == Mode::ReadWrite ? "r+b" : "w+b";
    m_pFile = std::fopen(path.c_str(), szMode);
    m_bPositionKnown = false;
    return m_pFile != nullptr;
}

bool StdioFile::Close()
{
    if (!m_pFile)
        return true;
    const bool bOk = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    return bOk;
}

bool StdioFile::SeekTo(std::uint64_t pos)
{
    // A stdio stream needs a positioning call between a write and a read, so every operation
    // that does not simply continue the previous one seeks.
    if (m_bPositionKnown && m_nPosition == pos)
        return true;
    if (!SeekFile(m_pFile, pos)) {
        m_bPositionKnown = false;
        return false;
    }
    m_nPosition = pos;
    m_bPositionKnown = true;
    return true;
}

bool StdioFile::ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead)
{
    *pRead = 0;
    if (!m_pFile)
        return false;
    m_bPositionKnown = false; // reads never continue a write without a seek
    if (!SeekTo(pos))
        return false;
    const std::size_t n = std::fread(buffer, 1, size, m_pFile);
    *pRead = n;
    if (n < size && std::ferror(m_pFile)) {
        std::clearerr(m_pFile);
        m_bPositionKnown = false;
        return false;
    }
    std::clearerr(m_pFile);
    m_bPositionKnown = false;
    return true;
}

bool StdioFile::WriteAt(std::uint64_t pos, const void* data, std::size_t size)
{
    if (!m_pFile || !SeekTo(pos))
        return false;
    if (size == 0)
        return true;
    if (std::fwrite(data, 1, size, m_pFile) != size) {
        m_bPositionKnown = false;
        return false;
    }
    m_nPosition += size;
    return true;
}

bool StdioFile::GetSize(std::uint64_t* pSize)
{
    if (!m_pFile)
        return false;
    m_bPositionKnown = false;
    return std::fflush(m_pFile) == 0 && SeekFileEnd(m_pFile, pSize);
}

bool StdioFile::Truncate(std::uint64_t size)
{
    if (!m_pFile || std::fflush(m_pFile) != 0)
        return false;
    m_bPositionKnown = false;
    return TruncateFile(m_pFile, size);
}

bool StdioFile::Flush(bool toDisk)
{
    if (!m_pFile || std::fflush(m_pFile) != 0)
        return false;
    return !toDisk || CommitFile(m_pFile);
}

bool MemoryFile::ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead)
{
    *pRead = 0;
    if (pos >= m_vecBytes.size())
        return true;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_vecBytes.size() - pos));
    if (n)
        std::memcpy(buffer, m_vecBytes.data() + pos, n);
    *pRead = n;
    return true;
}

bool MemoryFile::WriteAt(std::uint64_t pos, const void* data, std::size_t size)
{
    if (pos > std::numeric_limits<std::size_t>::max() - size)
        return false;
    if (pos + size > m_vecBytes.size())
        m_vecBytes.resize(static_cast<std::size_t>(pos + size));
    if (size)
        std::memcpy(m_vecBytes.data() + pos, data, size);
    return true;
}

bool MemoryFile::GetSize(std::uint64_t* pSize)
{
    *pSize = m_vecBytes.size();
    return true;
}

bool MemoryFile::Truncate(std::uint64_t size)
{
    m_vecBytes.resize(static_cast<std::size_t>(size));
    return true;
}

bool MemoryFile::Flush(bool)
{
    return true;
}

} // namespace avi
