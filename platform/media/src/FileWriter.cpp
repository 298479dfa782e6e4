// The file writer: opens its file when the graph leaves the stopped state and hands it to the
// multiplexer upstream, which writes at positions; commits and closes it when the graph stops.
#include "Engine.h"
#include "Sinks.h"
#include "Win32File.h"

namespace media {
namespace {

class FileWriter final : public FilterBase, public IFileSinkFilter2, public FileSink {
public:
    FileWriter() : FilterBase(CLSID_FileWriter) { AddPin(PINDIR_INPUT); }
    MEDIA_FILTER_IUNKNOWN

    HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) override {
        if (pszFileName == nullptr) return E_POINTER;
        if (State() != State_Stopped) return VFW_E_WRONG_STATE;
        m_strPath = pszFileName;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMode(DWORD dwFlags) override {
        if ((dwFlags & ~AM_FILE_OVERWRITE) != 0) return E_INVALIDARG;
        m_dwMode = dwFlags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMode(DWORD* pdwFlags) override {
        if (pdwFlags == nullptr) return E_POINTER;
        *pdwFlags = m_dwMode;
        return S_OK;
    }

    avi::FileIo* SinkFile() override { return m_file.IsOpen() ? &m_file : nullptr; }
    HRESULT LastWriteError() override {
        const DWORD dwError = m_file.LastWriteError();
        return dwError != 0 ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
    }

    HRESULT CheckInputType(int, const MediaType& mt) override {
        return IsEqualGUID(mt.major, MEDIATYPE_Stream) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(int, const Sample&) override { return E_UNEXPECTED; }  // data arrives as positioned writes
    bool IsRenderer() const override { return true; }
    void EndOfStream(int) override {
        if (m_pSite && IsStreaming()) m_pSite->ReportEndOfStream(this);
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IFileSinkFilter2)) return static_cast<IFileSinkFilter2*>(this);
        return nullptr;
    }
    HRESULT OnPause(FILTER_STATE from) override {
        if (from != State_Stopped) return S_OK;
        if (m_strPath.empty()) return E_UNEXPECTED;
        return m_file.OpenForWriting(m_strPath, (m_dwMode & AM_FILE_OVERWRITE) != 0);
    }
    void OnStop() override {
        if (!m_file.IsOpen()) return;
        m_file.Flush(true);
        m_file.Close();
    }

private:
    std::wstring m_strPath;
    DWORD m_dwMode = 0;
    Win32File m_file;
};

}  // namespace

FilterBase* NewFileWriter() {
    return new FileWriter();
}

}  // namespace media
