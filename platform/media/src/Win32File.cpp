// Positioned reads and writes on a Win32 file handle, in pieces the system takes at once.
#include "Win32File.h"

#include "media/WriteLimit.h"

#include <algorithm>
#include <atomic>

namespace media {
namespace {
constexpr std::size_t MaxTransfer = 64u << 20;  // bytes per ReadFile / WriteFile call

// The file size past which writes fail, 0 for none, and the error they fail with.
std::atomic<ULONGLONG> g_nWriteLimit{0};
std::atomic<DWORD> g_dwWriteLimitError{ERROR_DISK_FULL};
}

void SetFileWriteLimit(ULONGLONG nLimitBytes, DWORD dwError) {
    g_dwWriteLimitError = dwError;
    g_nWriteLimit = nLimitBytes;
}

HRESULT Win32File::OpenForReading(const std::wstring& strPath) {
    Close();
    m_hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen() ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
}

HRESULT Win32File::OpenForWriting(const std::wstring& strPath, bool bOverwrite) {
    Close();
    m_dwLastWriteError = 0;
    m_hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, bOverwrite ? CREATE_ALWAYS : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen() ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
}

void Win32File::Close() {
    if (IsOpen()) ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

bool Win32File::SeekTo(std::uint64_t pos) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(pos);
    return ::SetFilePointerEx(m_hFile, li, nullptr, FILE_BEGIN) != FALSE;
}

bool Win32File::ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) {
    if (pRead) *pRead = 0;
    if (!IsOpen() || !SeekTo(pos)) return false;
    std::size_t nDone = 0;
    while (nDone < size) {
        const DWORD dwWant = static_cast<DWORD>(std::min(size - nDone, MaxTransfer));
        DWORD dwGot = 0;
        if (!::ReadFile(m_hFile, static_cast<char*>(buffer) + nDone, dwWant, &dwGot, nullptr)) return false;
        nDone += dwGot;
        if (dwGot < dwWant) break;  // end of the file
    }
    if (pRead) *pRead = nDone;
    return true;
}

bool Win32File::WriteAt(std::uint64_t pos, const void* data, std::size_t size) {
    if (!IsOpen()) return false;
    const ULONGLONG nLimit = g_nWriteLimit;
    if (nLimit != 0 && pos + size > nLimit) {
        m_dwLastWriteError = g_dwWriteLimitError;
        ::SetLastError(m_dwLastWriteError);
        return false;
    }
    if (!SeekTo(pos)) {
        m_dwLastWriteError = ::GetLastError();
        return false;
    }
    std::size_t nDone = 0;
    while (nDone < size) {
        const DWORD dwWant = static_cast<DWORD>(std::min(size - nDone, MaxTransfer));
        DWORD dwPut = 0;
        if (!::WriteFile(m_hFile, static_cast<const char*>(data) + nDone, dwWant, &dwPut, nullptr) || dwPut != dwWant) {
            // A short write without an error is a full volume.
            const DWORD dwError = ::GetLastError();
            m_dwLastWriteError = dwError != ERROR_SUCCESS ? dwError : ERROR_DISK_FULL;
            return false;
        }
        nDone += dwPut;
    }
    return true;
}

bool Win32File::GetSize(std::uint64_t* pSize) {
    LARGE_INTEGER li;
    if (!IsOpen() || !::GetFileSizeEx(m_hFile, &li)) return false;
    *pSize = static_cast<std::uint64_t>(li.QuadPart);
    return true;
}

bool Win32File::Truncate(std::uint64_t size) {
    return IsOpen() && SeekTo(size) && ::SetEndOfFile(m_hFile);
}

bool Win32File::Flush(bool toDisk) {
    if (!IsOpen()) return false;
    return !toDisk || ::FlushFileBuffers(m_hFile);
}

}  // namespace media
