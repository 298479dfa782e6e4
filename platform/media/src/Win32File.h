// The AVI library's positioned file access over a Win32 file handle.
#pragma once

#include "avi/FileIo.h"

#include <windows.h>

#include <string>

namespace media {

class Win32File final : public avi::FileIo {
public:
    Win32File() = default;
    ~Win32File() override { Close(); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    // Reading with others allowed to read; HRESULT of the system's error on failure.
    HRESULT OpenForReading(const std::wstring& strPath);
    // Writing (others may read); bOverwrite empties an existing file, else it is kept.
    HRESULT OpenForWriting(const std::wstring& strPath, bool bOverwrite);
    void Close();
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) override;
    bool WriteAt(std::uint64_t pos, const void* data, std::size_t size) override;
    bool GetSize(std::uint64_t* pSize) override;
    bool Truncate(std::uint64_t size) override;
    bool Flush(bool toDisk) override;

    // The system's error of the last write that failed, 0 when none has.
    DWORD LastWriteError() const { return m_dwLastWriteError; }

private:
    bool SeekTo(std::uint64_t pos);
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    DWORD m_dwLastWriteError = 0;
};

}  // namespace media
