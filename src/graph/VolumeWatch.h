// The record graph's 10 ms watch over its volume, at the cost of about one system query a second:
// the file system's name, the free space and the file's size are asked again when the last answer
// is a second old (or was for another root, folder or file), and the free space and the size at
// every tick once the stream could have brought them near the limit they are watched for. In
// between they are estimated from the last answer and the most the stream can have written since.
#pragma once

#include "graph/GraphHost.h"

#include <windows.h>

#include <string>

class VolumeWatch {
public:
    static constexpr DWORD RefreshMs = 1000;
    // The most the volume can change per second in the estimates: twice the recorded stream.
    static constexpr ULONGLONG ChangeBytesPerSecond = 2 * 3937053;
    // Within this distance of its limit a value is asked at every tick.
    static constexpr ULONGLONG NearBytes = 30 * ChangeBytesPerSecond;

    // The answers of another capture file or volume are not used again.
    void Reset();
    BOOL FreeBytes(VolumeQuery& query, const std::wstring& strFolder, ULONGLONG nLimit, ULONGLONG* pnFree);
    BOOL FileSystemName(VolumeQuery& query, const std::wstring& strRoot, std::wstring* pstrName);
    BOOL FileSize(VolumeQuery& query, const std::wstring& strPath, ULONGLONG nLimit, ULONGLONG* pnSize);

    // The clock of the estimates (GetTickCount unless a test sets another).
    void SetClock(DWORD (*pfnNow)()) { m_pfnNow = pfnNow ? pfnNow : &::GetTickCount; }

private:
    struct Answer {
        std::wstring strKey;
        ULONGLONG nValue = 0;
        DWORD dwTick = 0;
        bool bValid = false;
    };
    // The most the value can have moved since the answer.
    ULONGLONG Drift(const Answer& answer) const;
    bool Fresh(const Answer& answer, const std::wstring& strKey) const;

    Answer m_free;
    Answer m_size;
    Answer m_fileSystem;  // its value is m_strFileSystem
    std::wstring m_strFileSystem;
    DWORD (*m_pfnNow)() = &::GetTickCount;
};
