#include "graph/VolumeWatch.h"

void VolumeWatch::Reset() {
    m_free = Answer{};
    m_size = Answer{};
    m_fileSystem = Answer{};
    m_strFileSystem.clear();
}

ULONGLONG VolumeWatch::Drift(const Answer& answer) const {
    const DWORD dwElapsed = m_pfnNow() - answer.dwTick;
    return static_cast<ULONGLONG>(dwElapsed) * ChangeBytesPerSecond / 1000 + 1;
}

bool VolumeWatch::Fresh(const Answer& answer, const std::wstring& strKey) const {
    return answer.bValid && answer.strKey == strKey && m_pfnNow() - answer.dwTick < RefreshMs;
}

BOOL VolumeWatch::FreeBytes(VolumeQuery& query, const std::wstring& strFolder, ULONGLONG nLimit, ULONGLONG* pnFree) {
    if (Fresh(m_free, strFolder)) {
        const ULONGLONG nDrift = Drift(m_free);
        const ULONGLONG nLeast = m_free.nValue > nDrift ? m_free.nValue - nDrift : 0;
        if (nLeast > nLimit + NearBytes) {
            *pnFree = nLeast;
            return TRUE;
        }
    }
    ULONGLONG nFree = 0;
    if (!query.GetFreeBytes(strFolder, &nFree)) {
        m_free.bValid = false;
        return FALSE;
    }
    m_free = Answer{strFolder, nFree, m_pfnNow(), true};
    *pnFree = nFree;
    return TRUE;
}

BOOL VolumeWatch::FileSystemName(VolumeQuery& query, const std::wstring& strRoot, std::wstring* pstrName) {
    if (!Fresh(m_fileSystem, strRoot)) {
        std::wstring strName;
        if (!query.GetFileSystemName(strRoot, &strName)) {
            m_fileSystem.bValid = false;
            return FALSE;
        }
        m_fileSystem = Answer{strRoot, 0, m_pfnNow(), true};
        m_strFileSystem = strName;
    }
    *pstrName = m_strFileSystem;
    return TRUE;
}

BOOL VolumeWatch::FileSize(VolumeQuery& query, const std::wstring& strPath, ULONGLONG nLimit, ULONGLONG* pnSize) {
    if (Fresh(m_size, strPath)) {
        const ULONGLONG nMost = m_size.nValue + Drift(m_size);
        if (nMost + NearBytes < nLimit) {
            *pnSize = nMost;
            return TRUE;
        }
    }
    ULONGLONG nSize = 0;
    if (!query.GetFileSize(strPath, &nSize)) {
        m_size.bValid = false;
        return FALSE;
    }
    m_size = Answer{strPath, nSize, m_pfnNow(), true};
    *pnSize = nSize;
    return TRUE;
}
